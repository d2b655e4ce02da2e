If 1 = 1
  Out(1)
End If
