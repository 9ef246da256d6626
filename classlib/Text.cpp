#include "Text.h"

#include <windows.h>

namespace {
constexpr UINT kCodePage = 932;
}

std::wstring ToWide(const std::string& text)
{
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(kCodePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(n), L'\0');
    MultiByteToWideChar(kCodePage, 0, text.data(), int(text.size()), wide.data(), n);
    return wide;
}

std::string FromWide(const std::wstring& text)
{
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(kCodePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(std::size_t(n), '\0');
    WideCharToMultiByte(kCodePage, 0, text.data(), int(text.size()), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

bool IsLeadByte(unsigned char b)
{
    return IsDBCSLeadByteEx(kCodePage, b) != FALSE;
}
