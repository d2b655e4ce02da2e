var a: array[0..100000, 0..100000] of Integer;
begin end.
