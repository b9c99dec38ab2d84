' Word processor: announce the page when it changes.
Option Explicit

Dim LastPage

Sub OnStatusChange(ByVal Page)
    If Page <> LastPage Then
        LastPage = Page
        proc.SpeechOutVoice "Page " & Page, 1
    End If
End Sub
