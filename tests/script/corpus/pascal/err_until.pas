var i: Integer;
begin
  repeat i := 1 ;
end.
