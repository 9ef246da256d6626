object F: TNoValue
  Caption
end
