var a: array[5..3] of Integer;
begin end.
