var a, b: Integer = 5;
begin Out(a + b) end.
