var a, b: Integer = 5;
begin
  a := b >= 3;
  if a then Out(<Price>) else Out('no');
end.
