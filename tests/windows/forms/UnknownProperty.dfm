object F: TUnknownProperty
  Left = 1
  Widht = 5
end
