procedure P(var x: Integer; y: Integer = 2);
begin
  for x := 1 to y do ;
  case x of 1, 3..5: x := 0; else x := 1 end;
end;
begin
  try P(a) except end;
end.
