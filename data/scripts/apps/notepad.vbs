' Text editor: read the current line after cursor moves.
Option Explicit

Sub OnCursorMove()
    proc.AddToCMDQueue "READEDITCUR"
End Sub
