x = 5; y = x * 2; Out(y);
