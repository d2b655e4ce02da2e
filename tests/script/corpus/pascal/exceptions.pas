var n: Integer;
procedure Fail(msg: String);
begin
  RaiseException(msg);
end;
begin
  try
    Fail('first');
    Out('not reached');
  except
    Out('caught: ' + ExceptionMessage);
  end;
  try
    try
      n := StrToInt('abc');
    finally
      Out('cleanup');
    end;
  except
    Out(ExceptionClassName);
  end;
  try
    n := 0;
    n := 10 div n;
  except
    Out('div');
  end;
  Fail('uncaught');
  Out('not reached');
end.
