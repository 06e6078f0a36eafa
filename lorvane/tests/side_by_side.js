// Which Lorvane server a script host of this bitness finds: prints the
// host's processor architecture, the server its registry view names, and
// whether Lorvane.List could be created and used.
var shell = new ActiveXObject("WScript.Shell");
var host = shell.Environment("Process")("PROCESSOR_ARCHITECTURE");
var server = "";
try {
  server = shell.RegRead("HKCR\\CLSID\\{6E2B1F4A-93C7-4D58-B0A1-2F7C54E9D303}\\InprocServer32\\");
} catch (e) {
}
var list = null;
try {
  list = new ActiveXObject("Lorvane.List");
} catch (e) {
}
if (list) {
  list.AddToList("picked");
  WScript.Echo(host + " host: created from [" + server + "]: " + list.GetListFormatted());
} else {
  WScript.Echo(host + " host: no server");
}
