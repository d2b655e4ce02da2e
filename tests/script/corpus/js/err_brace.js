function f() {
  Out(1);
