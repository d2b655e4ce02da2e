function f(a) { if (a > 1) return "big"; return "small"; }
Out(f(2) + f(0));
