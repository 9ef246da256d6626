object F: TUnknownHandler
  object Button: TButton
    OnClick = Clik
  end
end
