var i, j, s: Integer; t: String;
begin
  s := 0;
  for i := 1 to 5 do s := s + i;
  Out(s);
  for i := 3 downto 1 do t := t + IntToStr(i);
  Out(t);
  i := 0;
  while i < 10 do
  begin
    i := i + 1;
    if i = 3 then continue;
    if i > 5 then break;
    s := s + 100;
  end;
  Out(s);
  repeat i := i - 2 until i < 0;
  Out(i);
  case i of
    -2: Out('minus two');
    0, 1: Out('small');
  else
    Out('other')
  end;
  case 7 of 1..5: Out('low'); 6..9: Out('high') end;
  if i > 0 then Out('pos') else if i < 0 then Out('neg') else Out('zero');
  for i := 1 to 3 do
    for j := 1 to 3 do
      if j = 2 then break else s := s + 1;
  Out(s);
  try
    Out('body');
  finally
    Out('finally');
  end;
  begin
    Out('block');
    exit;
    Out('not reached');
  end;
end.
