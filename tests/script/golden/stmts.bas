Dim a[3] As Integer
If a[0] = 1 Then
  Out("one")
ElseIf a[1] <> 2 Then
  Out("two")
Else
  Out("other")
End If
Select Case a[2]
Case 1..2: Out(1)
Case Else: Out(2)
End Select
