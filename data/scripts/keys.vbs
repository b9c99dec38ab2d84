' Key helpers shared by the application scripts.
Option Explicit

Function KeyName(ByVal Code)
    Select Case Code
        Case 13: KeyName = "Enter"
        Case 27: KeyName = "Escape"
        Case 32: KeyName = "Space"
        Case Else: KeyName = Chr(Code)
    End Select
End Function
