var a: Integer;
  a := 1;
