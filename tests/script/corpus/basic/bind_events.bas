Dim n, f, v
n = 0
Sub Made(Sender)
  Out("create")
End Sub
Sub Ask(Sender, ByRef CanClose)
  n = n + 1
  CanClose = n > 1
End Sub
f = New TForm(nil)
f.OnCreate = "Made"
f.OnCloseQuery = "Ask"
f.Show
f.Hide
f.Show
f.Close
Out(f.Visible)
f.Close
Out(f.Visible)
f.OnCloseQuery = "0"
f.Free
v = 3
Try
  v.Open("a.xls")
Catch
  Out(Copy(ExceptionMessage, 1, 25))
End Try
