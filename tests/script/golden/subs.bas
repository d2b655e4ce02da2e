Sub S(ByRef x, ByVal y)
  For i = 1 To 10 Step 2
    x = x & i : y = y - 1
  Next
  Do
    x += 1
  Loop While x < y
End Sub
Function F(z) As Integer
  Try
    Return z \ 2
  Catch
  End Try
End Function
