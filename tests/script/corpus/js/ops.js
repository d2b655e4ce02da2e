// C-like operators keep the Pascal-like priorities
Out(2 + 3 * 4);
Out(10 % 4);
Out(7 / 2);
Out(1 << 4);
Out(-3 * 2);
Out((1 < 2) && (2 < 3));
Out(!(1 == 1) || (2 != 2));
Out(5 ^ 1);
Out("a" + "b");
Out(0x10);
Out(3 in [1..3]);
var n = 5;
n++;
n += 10;
n -= 1;
n *= 2;
n /= 4;
Out(n);
