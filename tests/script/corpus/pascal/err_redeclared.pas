var a: Integer;
    a: String;
begin end.
