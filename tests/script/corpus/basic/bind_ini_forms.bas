Dim l, ini, f, c
l = New TStringList
l.Add("; settings")
l.Add("[main]")
l.Add("b=2")
l.Add("; note")
l.Add("a=1")
ini = New TMemIniFile("")
ini.SetStrings(l)
ini.WriteString("main", "c", "3")
ini.WriteString("main", "a", "one")
ini.GetStrings(l)
Out(l.CommaText)
ini.Free
l.Free
f = New TForm(nil)
c = New TCheckBox(f)
c.Parent = f
c.Checked = True
Out(c.Checked)
Out(ssShift + ssCtrl)
f.Free
Try
  Out(c.Checked)
Catch
  Out(ExceptionClassName)
End Try
