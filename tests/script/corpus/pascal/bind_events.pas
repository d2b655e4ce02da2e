var F: TForm; n: Integer; V: Variant;
procedure Made(Sender: TObject);
begin
  Out('create');
end;
procedure Ask(Sender: TObject; var CanClose: Boolean);
begin
  n := n + 1;
  CanClose := n > 1;
end;
begin
  F := TForm.Create(nil);
  F.OnCreate := 'Made'; F.OnCloseQuery := 'Ask';
  F.Show; F.Hide; F.Show;
  F.Close; Out(F.Visible);
  F.Close; Out(F.Visible);
  F.OnCloseQuery := '0';
  F.Free;
  V := 3;
  try V.Open('a.xls') except Out(Copy(ExceptionMessage, 1, 25)) end;
end.
