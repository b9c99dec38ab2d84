' Default script of the screen reader: runs for every application without a script of its own.
Option Explicit

Sub OnStart()
    proc.SpeechOutVoice "Corvane", 1
End Sub

Sub OnFocus(ByVal Name)
    If Len(Name) > 0 Then proc.SpeechOutVoice Name, 1
End Sub
