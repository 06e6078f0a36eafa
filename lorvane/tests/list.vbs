' Lorvane.List from VBScript: arguments as literals and variables, the read
' back as text and array, the type mismatch a script sees.
' Check and failures come from prelude.vbs.

Dim list : Set list = CreateObject("Lorvane.List")
Check list.GetSelItem() = "", "no selection before any OK"
Check list.GetListFormatted() = "", "empty list formats as empty text"
Check VarType(list.GetListArray()) = vbString, "empty list gives text, not an array"

list.AddToList "a"
Dim item : item = "b"
list.AddToList item
list.AddToList 5
Check list.GetListFormatted() = "a" & vbCrLf & "b" & vbCrLf & "5" & vbCrLf, "formatted list"
Dim entries : entries = list.GetListArray()
Check UBound(entries) = 3, "three entries give bounds 0 to 3"
Check entries(0) = "a" And entries(2) = "5", "array entries"
Check IsEmpty(entries(3)), "last element is empty"

On Error Resume Next
list.AddToList Null
Check Err.Number <> 0, "Null is refused"
Err.Clear
On Error GoTo 0
Check list.GetListFormatted() = "a" & vbCrLf & "b" & vbCrLf & "5" & vbCrLf, "refused Null changes nothing"

list.List = "kept as written"
Check list.List = "kept as written", "List property"

Dim other : Set other = CreateObject("Lorvane.List")
Check Left(other.GetListFormatted(), 1) = "a", "a second List sees the same dialog"
list.Clear
Check other.GetListFormatted() = "", "Clear empties it for both"

If failures = 0 Then WScript.Echo "VBSCRIPT LIST CHECKS PASSED"
