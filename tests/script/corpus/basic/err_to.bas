For i = 1 Till 2
Next
