Sub Greet(name, Optional = 0)
  Out("hi " & name)
End Sub
Function Fact(n As Integer) As Integer
  If n <= 1 Then
    Return 1
  End If
  Return n * Fact(n - 1)
End Function
Sub Twice(ByRef v)
  v = v * 2
End Sub
Greet("you")
Out(Fact(5))
a = 21
Twice(a)
Out(a)
Out(Later(2))
Function Later(x)
  Return x + 1
End Function
