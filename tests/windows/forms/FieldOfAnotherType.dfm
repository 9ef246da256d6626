object F: TFieldOfAnotherType
  object Button: TImage
  end
end
