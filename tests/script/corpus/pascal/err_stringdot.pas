var s: String;
begin
  s := 'a';
  Out(s.Length)
end.
