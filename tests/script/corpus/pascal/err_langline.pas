
#language BasicScript
Out(1)
