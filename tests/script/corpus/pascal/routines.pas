var n, a, b: Integer;

function Fact(k: Integer): Integer;
begin
  if k <= 1 then Result := 1 else Result := k * Fact(k - 1);
end;

procedure Swap(var x, y: Integer);
var t: Integer;
begin
  t := x; x := y; y := t;
end;

function Add(x: Integer; y: Integer = 10): Integer;
begin
  Result := x + y;
end;

procedure Early(k: Integer);
begin
  if k > 0 then exit;
  Out('zero');
end;

function UsesLater(k: Integer): Integer;
begin
  Result := Later(k) + 1;
end;

function Later(k: Integer): Integer;
begin
  Result := k * k;
end;

function Depth(k: Integer): Integer;
var local: Integer;
begin
  local := k;
  if k > 0 then Depth(k - 1);
  Result := local;
end;

begin
  Out(Fact(10));
  a := 1; b := 2;
  Swap(a, b);
  Out(a * 10 + b);
  Out(Add(1));
  Out(Add(1, 2));
  Early(1);
  Early(0);
  Out(Depth(5));
  Out(UsesLater(3));
end.
