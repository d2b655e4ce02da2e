import "unit.js";
switch (x) { case 1, 2: y = 0; default: y = 1; }
do { x--; } while (x > 0);
try { throw1(); } except { Out(ExceptionMessage); }
