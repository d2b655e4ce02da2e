If 1 = 1 Then
  Out(1)
End
