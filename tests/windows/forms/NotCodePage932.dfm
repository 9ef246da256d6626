object F: TNotCodePage932
  Caption = '天気 😀'
end
