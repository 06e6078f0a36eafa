' The Lorvane.List loaders from VBScript, on a scratch folder in the temp
' folder: by name, by extension and by today's date.
' Check and failures come from prelude.vbs.

Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")
Dim root : root = fso.BuildPath(fso.GetSpecialFolder(2), fso.GetTempName())
fso.CreateFolder root
fso.CreateTextFile(root & "\a.txt").Close
fso.CreateTextFile(root & "\B.TXT").Close
fso.CreateTextFile(root & "\c.log").Close
fso.CreateFolder root & "\sub"

Dim list : Set list = CreateObject("Lorvane.List")
list.LoadFilesWithExt root, "txt"
Dim names : names = list.GetListFormatted()
Check Len(names) = 14 And InStr(names, "a.txt" & vbCrLf) > 0 And InStr(names, "B.TXT" & vbCrLf) > 0, _
  "txt selects a.txt and B.TXT: " & names
list.Clear
list.LoadFolderList root
Check list.GetListFormatted() = "sub", "subfolders only"

list.Clear
list.LoadFilesOfDate root, Date, True, 0
Dim entries : entries = list.GetListArray()
Check UBound(entries) = 3, "a date value at midnight matches the three files made today"
list.Clear
list.LoadFilesOfDate root, CStr(Date) & " 12:00:00", 1, 1
Check list.GetListFormatted() = "", "a date with a time of day matches nothing"

list.Clear
list.LoadFileList root
list.LoadFileList root
entries = list.GetListArray()
Check UBound(entries) = 6, "loads accumulate: six entries"
list.Clear

Set list = Nothing
fso.DeleteFolder root, True
Check Not fso.FolderExists(root), "scratch folder removed"
If failures = 0 Then WScript.Echo "VBSCRIPT LOADER CHECKS PASSED"
