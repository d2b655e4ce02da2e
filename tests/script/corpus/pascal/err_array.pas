var i: Integer;
begin
  Out(i[1])
end.
