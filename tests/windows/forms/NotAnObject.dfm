F: TNotAnObject
end
