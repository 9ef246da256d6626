object F: TSomeOtherForm
end
