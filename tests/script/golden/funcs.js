function f(&a, b) { a = b; return a * 2; }
var v[2], w = 1;
with (Obj) { Caption = "x"; }
for (var i = 0; i < 2; i++) v[i] = f(w, i);
