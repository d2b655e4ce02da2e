var a[3], m[2, 2], s = "hello";
a[0] = 1; a[1] = 2; a[2] = a[0] + a[1];
Out(a[2]);
m[1, 1] = "x";
Out(m[1, 1]);
s[1] = "J";
Out(s);
Out(Length(s) + Length(a));
Out(Length("tab\there"));
