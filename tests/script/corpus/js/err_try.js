try { Out(1); }
Out(2);
