begin
  case 1 do
  end
end.
