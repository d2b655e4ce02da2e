begin
  Out(Copy('abc', 1));
end.
