' Put in front of every VBScript test by run_script.cmake: Wine's script
' host reports no script errors, so each check prints what failed and the
' script prints its success line only when none did.
Dim failures : failures = 0
Sub Check(ok, what)
  If Not ok Then
    WScript.Echo "FAIL: " & what
    failures = failures + 1
  End If
End Sub
