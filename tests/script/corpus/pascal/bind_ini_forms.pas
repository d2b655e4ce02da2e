var I: TMemIniFile; L: TStringList; S: TMemoryStream; F: TForm; E: TEdit; B: TButton; t: String;
procedure Clicked(Sender: TObject);
begin
  E.Text := 'clicked';
end;
begin
  L := TStringList.Create;
  L.Add('; settings'); L.Add('[main]'); L.Add('b=2'); L.Add('; note'); L.Add('a=1');
  I := TMemIniFile.Create('');
  I.SetStrings(L);
  I.WriteString('main', 'c', '3'); I.WriteString('main', 'a', 'one'); I.WriteInteger('extra', 'n', 7);
  I.ReadSectionValuesEx('main', L); Out(L.CommaText);
  S := TMemoryStream.Create; I.SaveIniFileToStream(S);
  S.Position := 0; L.LoadFromStream(S); Out(L.CommaText);
  I.Free; S.Free; L.Free;
  F := TForm.Create(nil); F.Caption := 'Entry';
  E := TEdit.Create(F); E.Parent := F; E.Text := 'start';
  B := TButton.Create(F); B.Parent := F; B.Caption := 'OK'; B.ModalResult := mrOk;
  B.OnClick := 'Clicked'; Clicked(B); Out(E.Text);
  B.OnClick := '0';
  B.SetBounds(10, 40, 75, 25); Out(IntToStr(B.Left) + ',' + IntToStr(B.Top) + ',' + IntToStr(B.Width));
  Out(F.Caption + ' ' + B.Caption + ' ' + IntToStr(B.ModalResult));
  Out(ssShift + ssCtrl); Out(VK_F2);
  try t := E.Text; F.Free; t := E.Text except Out(ExceptionClassName) end;
end.
