var a, : integer;
begin a := 3; Out(a) end.
