While 1 = 2
  Out(1)
