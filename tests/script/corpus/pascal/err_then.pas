begin
  if 1 = 1 do Out(1);
end.
