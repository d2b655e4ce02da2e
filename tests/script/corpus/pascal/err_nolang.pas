#language Cobol
Out(1)
