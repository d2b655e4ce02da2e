For k = 1 To 2
  Out(k)
Next
