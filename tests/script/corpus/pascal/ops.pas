// operators and priorities
var b: Boolean; x: Integer; f: Extended;
begin
  Out(2 + 3 * 4);
  Out((2 + 3) * 4);
  Out(10 - 4 - 3);
  Out(7 div 2 * 2);
  Out(7 mod 3);
  Out(-2 * 3);
  Out(1 shl 3 + 1);
  Out(256 shr 4);
  Out(7 / 2);
  Out(5 xor 3);
  Out(6 and 3);
  Out(6 or 1);
  b := (1 < 2) and (3 > 2);
  Out(b);
  Out(not b or True);
  Out(3 in [1, 3..5]);
  Out(6 in [1, 3..5]);
  Out('ab' + 'cd');
  Out('abc' < 'abd');
  Out(2 >= 2);
  Out(2 <> 2);
  x := $FF;
  Out(x);
  f := 1.5e2;
  Out(f);
  Out(2147483647 + 1);
end.
