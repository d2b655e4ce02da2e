#LANGUAGE  JScript  
Out(1 + 1);
