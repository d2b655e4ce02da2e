var l = new TStringList;
l.Add("; settings"); l.Add("[main]"); l.Add("b=2"); l.Add("; note"); l.Add("a=1");
var ini = new TMemIniFile("");
ini.SetStrings(l);
ini.WriteString("main", "c", "3"); ini.WriteString("main", "a", "one");
ini.GetStrings(l); Out(l.CommaText);
ini.Free(); l.Free();
var f = new TForm(nil);
var b = new TButton(f);
b.Parent = f; b.Caption = "OK";
Out(b.Caption);
Out(VK_F2);
f.Free();
try { Out(b.Caption); } except { Out(ExceptionClassName); }
