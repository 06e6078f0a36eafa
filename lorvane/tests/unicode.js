// Lorvane.List on a folder whose name mixes three writing systems: the
// entries come back with their exact names, and the pick with its real path.
// Another program picks the first entry while Show waits.
var failures = 0;
function check(ok, what) {
  if (!ok) {
    WScript.Echo("FAIL: " + what);
    failures++;
  }
}
var chars = String.fromCharCode;

var fso = new ActiveXObject("Scripting.FileSystemObject");
var root = fso.BuildPath(fso.GetSpecialFolder(2), fso.GetTempName());
// Résultats Ωmega 测试, holding 日志.htm and the subfolder Łukasz
var folder = root + "\\R" + chars(0xE9) + "sultats " + chars(0x3A9) + "mega " + chars(0x6D4B, 0x8BD5);
var log = chars(0x65E5, 0x5FD7) + ".htm";
var user = chars(0x141) + "ukasz";
fso.CreateFolder(root);
fso.CreateFolder(folder);
fso.CreateTextFile(folder + "\\" + log).Close();
fso.CreateFolder(folder + "\\" + user);

var list = new ActiveXObject("Lorvane.List");
list.Clear();
list.LoadFolderList(folder);
check(list.GetListFormatted() === user, "subfolder name: " + list.GetListFormatted());
list.Clear();
list.LoadFilesWithExt(folder, "HTM");
check(list.GetListFormatted() === log, "file name: " + list.GetListFormatted());
list.Show();
check(list.GetSelItem() === folder + "\\" + log, "picked path: " + list.GetSelItem());
check(fso.FileExists(list.GetSelItem()), "the picked path names the file");

list = null;
fso.DeleteFolder(root, true);
check(!fso.FolderExists(root), "scratch folder removed");
if (failures === 0) WScript.Echo("JSCRIPT UNICODE CHECKS PASSED");
