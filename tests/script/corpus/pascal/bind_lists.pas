var L: TStringList; i: Integer; s: String; m: TMemoryStream; b: String;
begin
  L := TStringList.Create;
  L.Add('pear'); L.Add('Apple'); L.Add('fig');
  L.Sort;
  Out(L.CommaText);
  L.Clear;
  L.Add('a b'); L.Add('c,d'); L.Add('say "hi"'); L.Add('plain');
  Out(L.CommaText);
  L.CommaText := '"x y",z,"q""r"';
  Out(IntToStr(L.Count) + ' ' + L[0] + '|' + L.Strings[2]);
  L.Clear;
  L.Add('k=v1'); L.Values['n'] := 'v2';
  Out(L.Values['k'] + L.Values['n'] + L.Names[1]);
  L.Sorted := True;
  L.Add('b'); 
  if L.Find('b', i) then Out('found ' + IntToStr(i));
  Out(L.IndexOf('K=V1'));
  L.Free;
  try
    L.Add('x');
  except
    Out(ExceptionClassName + ': ' + ExceptionMessage);
  end;
  try
    L.Free;
  except
    Out(ExceptionClassName + ': ' + ExceptionMessage);
  end;
  m := TMemoryStream.Create;
  s := '';
  for i := 0 to 255 do s := s + Chr(i);
  Out(m.Write(s, 256));
  m.Position := 0;
  Out(m.Read(b, 300));
  Out(b = s);
  Out(m.ClassName);
  m.Free;
  try
    i := m.Size;
  except
    Out(ExceptionMessage);
  end;
end.
