var l = new TStringList;
l.Add("b c");
l.Add("a");
l.Sort();
Out(l.CommaText);
l.Free();
try { l.Add("x"); } except { Out(ExceptionMessage); }
