object F: TNestedComponent
  object Button: TButton
    object Inner: TButton
    end
  end
end
