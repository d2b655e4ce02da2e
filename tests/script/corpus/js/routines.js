function fact(n) { if (n <= 1) return 1; return n * fact(n - 1); }
function swap(&a, &b) { var t = a; a = b; b = t; }
function noResult(x) { x = x + 1; }
Out(fact(10));
var p = 1, q = 2;
swap(p, q);
Out(p * 10 + q);
Out(later(4));
function later(x) { return x * x; }
