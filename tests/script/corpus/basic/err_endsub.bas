Sub A
  Out(1)
End Function
