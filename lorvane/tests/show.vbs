' Lorvane.List shown to a person: another program picks the second entry and
' presses OK while Show waits.
' Check and failures come from prelude.vbs.

Dim list : Set list = CreateObject("Lorvane.List")
list.Clear
list.AddToList "Smoke tests"
list.AddToList "Regression tests"
list.AddToList "Nightly build checks"
list.Show
Check list.GetSelItem() = "Regression tests", "the picked entry, not " & list.GetSelItem()
Check list.GetListFormatted() = "Smoke tests" & vbCrLf & "Regression tests" & vbCrLf & _
      "Nightly build checks" & vbCrLf, "the entries stay after Show"

If failures = 0 Then WScript.Echo "VBSCRIPT SHOW CHECKS PASSED"
