var a: array[1..3] of Integer;
    m: array[0..1, 0..2] of Integer;
    s: String; i, j: Integer; v: Variant;
begin
  for i := 1 to 3 do a[i] := i * i;
  Out(a[1] + a[2] + a[3]);
  for i := 0 to 1 do
    for j := 0 to 2 do m[i, j] := i * 10 + j;
  Out(m[1, 2]);
  s := 'hello';
  s[1] := 'J';
  Out(s);
  Out(s[5]);
  Out(Length(s));
  v := VarArrayCreate([0, 2], varVariant);
  v[0] := 'x'; v[2] := 5;
  Out(v[0] + IntToStr(v[2]));
  Out(Length(v));
  try
    Out(s[9]);
  except
    Out(ExceptionClassName);
  end;
  s := 'it''s';
  Out(s);
  Out('a' + #65 + 'b');
end.
