object F: TMissingEnd
  object Button: TButton
    Caption = 'x'
  end
