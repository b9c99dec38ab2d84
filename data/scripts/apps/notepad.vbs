' Text editor: read the current line after cursor moves.
Option Explicit

' Reads the line of the cursor after it moved.
Sub OnCursorMove()
    proc.AddToCMDQueue "READEDITCUR"
End Sub

' Says the name of the file being edited.
Sub SayFileName()
    proc.SpeechOutVoice "Editor", 1
End Sub

' Reads the whole text from the top.
Sub ReadAll()
    proc.AddToCMDQueue "SAYALL"
End Sub

' Moves to the next line and reads it (a key command, not for menus).
Sub KeyCmdNextLine()
    proc.AddToCMDQueue "READEDITCUR"
End Sub

Private Function LineText()
    LineText = ""
End Function
