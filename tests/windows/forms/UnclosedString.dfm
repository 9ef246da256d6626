object F: TUnclosedString
  Caption = 'アップデーター
end
