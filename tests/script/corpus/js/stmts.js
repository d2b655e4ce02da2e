var s = 0, i;
for (i = 0; i < 5; i++) s += i;
Out(s);
while (s > 0) { s = s - 4; if (s == 2) break; }
Out(s);
do { s++; } while (s < 5);
Out(s);
switch (s) {
  case 1, 2: Out("small");
  case 5: Out("five");
  default: Out("none");
}
if (s > 10) Out("big"); else Out("not big");
for (var k = 3; k > 0; k--) { if (k == 2) continue; Out(k); }
try { Out("try"); } finally { Out("finally"); }
try { i = 1 / 0; } except { Out(ExceptionClassName); }
