object F: TNotAnInteger
  Left = 1O
end
