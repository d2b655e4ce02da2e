var a: TNothing;
begin end.
