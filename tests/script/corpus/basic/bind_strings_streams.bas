Dim l, q, m, s, b, i
l = New TStringList
q = Chr(34)
l.Add("a b")
l.Add("c,d")
l.Add("say " & q & "hi" & q)
l.Add("plain")
Out(l.CommaText)
l.CommaText = q & "x y" & q & ",z," & q & "q" & q & q & "r" & q
Out(IntToStr(l.Count) & " " & l.Strings(0) & "|" & l.Strings(2))
l.Clear
l.Add("pear")
l.Add("Apple")
l.Add("fig")
l.Sort
Out(l.CommaText)
l.Clear
l.Add("k=v1")
l.Values("n") = "v2"
Out(l.Values("k") & l.Values("n") & l.Names(1))
Out(l.IndexOf("K=V1"))
l.Free
m = New TMemoryStream
s = ""
b = ""
For i = 0 To 255
  s = s & Chr(i)
Next
Out(m.Write(s, 256))
m.Position = 0
Out(m.Read(b, 300))
Out(b = s)
m.Free
Try
  Out(m.Size)
Catch
  Out(ExceptionMessage)
End Try
