var n = 0;
function Made(Sender) { Out("create"); }
function Ask(Sender, CanClose) { n = n + 1; CanClose = n > 1; }
var f = new TForm(nil);
f.OnCreate = "Made"; f.OnCloseQuery = "Ask";
f.Show(); f.Hide(); f.Show();
f.Close(); Out(f.Visible);
f.Close(); Out(f.Visible);
f.OnCloseQuery = "0";
f.Free();
var v = 3;
try { v.Open("a.xls"); } except { Out(Copy(ExceptionMessage, 1, 25)); }
