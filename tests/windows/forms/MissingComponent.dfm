object F: TMissingComponent
  Caption = 'ボタンのない記述'
end
