var a = 1;
if a > 0) Out(a);
