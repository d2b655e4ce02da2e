function f(a, b) { return a; }
Out(f(1));
