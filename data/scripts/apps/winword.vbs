' Word processor: announce the page when it changes.
Option Explicit

Dim LastPage

' Says the page when it changed.
Sub OnStatusChange(ByVal Page)
    If Page <> LastPage Then
        LastPage = Page
        proc.SpeechOutVoice "Page " & Page, 1
    End If
End Sub

' Says the number of the current page.
Function SayPage()
    proc.SpeechOutVoice "Page " & LastPage, 1
    SayPage = LastPage
End Function

' Reads the heading above the cursor.
Sub ReadHeading()
    proc.AddToCMDQueue "READEDITCUR"
End Sub
