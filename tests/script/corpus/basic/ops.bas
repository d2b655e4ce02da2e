' operators and priorities
Out(2 + 3 * 4)
Out(7 \ 2)
Out(7 Mod 3)
Out(7 / 2)
Out("a" & 1 & True)
Out((1 < 2) And (3 > 4))
Out(Not (1 = 2) Or False)
Out(5 Xor 1)
Out(2 <> 3)
Out(0x1F)
rem a whole-word comment
remark = 4 ' a variable, not a comment
Out(remark)
x = 10 _
  + 5
Out(x)
