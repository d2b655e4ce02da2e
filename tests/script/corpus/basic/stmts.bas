Dim total As Integer, i
total = 0
For i = 1 To 10 Step 3
  total = total + i
Next
Out(total)
i = 0
While i < 3
  i = i + 1
Wend
Out(i)
Do
  i = i - 1
Loop Until i <= 0
Out(i)
Do
  i += 1
Loop While i < 4
Out(i)
If i = 4 Then
  Out("four")
ElseIf i = 5 Then
  Out("five")
Else
  Out("other")
End If
If i > 100 Then Out("never")
Select Case i
Case 1, 2: Out("small")
Case 3..6: Out("mid")
Case Else: Out("big")
End Select
Try
  i = 1 \ 0
Catch
  Out("caught " & ExceptionClassName)
End Try
Try
  Out("body")
Finally
  Out("finally")
End Try
Out(i): Out("two on a line")
