begin
  Out(1)
end
