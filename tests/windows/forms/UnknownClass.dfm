object F: TUnknownClass
  object Button: TButton
  end
  object Label1: TLabel
  end
end
