object F: TTrailingLines
  object Button: TButton
  end
end
end
