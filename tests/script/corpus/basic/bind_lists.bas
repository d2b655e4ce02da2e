Dim l
l = New TStringList
l.Add("b c")
l.Add("a")
l.Sort
Out(l.CommaText)
l.Free
Try
  l.Add("x")
Catch
  Out(ExceptionMessage)
End Try
Dim m, s, b, i
m = New TMemoryStream
s = ""
For i = 0 To 255
  s = s & Chr(i)
Next
Out(m.Write(s, 256))
m.Position = 0
Out(m.Read(b, 256))
Out(b = s)
m.Free
