var a = ;
