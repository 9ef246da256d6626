// Where text crosses into Win32. The program's strings hold code page 932 bytes;
// Win32 is called through its wide functions, so every name and caption is
// converted here and nowhere else. On a Japanese system this is what the ANSI
// functions would do; on any other system the texts still come out right.
#pragma once

#include <optional>
#include <string>

// Code page 932 bytes to UTF-16, and back.
std::wstring ToWide(const std::string& text);
std::string FromWide(const std::wstring& text);

// UTF-8 to code page 932, or nothing when the text is not valid UTF-8 or holds a
// character that code page 932 cannot write.
std::optional<std::string> FromUtf8(const std::string& text);

// True when b begins a double-byte character of code page 932.
bool IsLeadByte(unsigned char b);
