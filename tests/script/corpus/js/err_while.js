do Out(1); until (1);
