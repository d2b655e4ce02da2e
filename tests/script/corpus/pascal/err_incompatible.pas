var i: Integer;
begin
  i := 1.5
end.
