// Lorvane.List from JScript: numbers arrive as VT_I4 or VT_R8; the script
// host cannot take arrays, so only the empty list's text result is read.
var failures = 0;
function check(ok, what) {
  if (!ok) {
    WScript.Echo("FAIL: " + what);
    failures++;
  }
}

var list = new ActiveXObject("Lorvane.List");
check(list.GetListArray() === "", "empty list gives the empty text");
list.AddToList(7);
list.AddToList(1.5);
list.AddToList("x y");
var mark = (1.5).toLocaleString().charAt(1);
check(list.GetListFormatted() === "7\r\n1" + mark + "5\r\nx y\r\n", "formatted list");
list.Clear();
list.AddToList("only");
check(list.GetListFormatted() === "only", "one entry carries no line break");
check(list.GetSelItem() === "", "no selection before any OK");

var refused = false;
try {
  list.AddToList(null);
} catch (e) {
  refused = true;
}
check(refused, "null is refused");
check(list.GetListFormatted() === "only", "refused null changes nothing");

list.List = "text";
check(list.List === "text", "List property");

if (failures === 0) WScript.Echo("JSCRIPT LIST CHECKS PASSED");
