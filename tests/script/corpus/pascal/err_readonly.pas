const C = 5;
begin
  C := 6
end.
