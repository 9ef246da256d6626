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

std::optional<std::string> FromUtf8(const std::string& text)
{
    if (text.empty()) return std::string();
    const int n =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring wide(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), wide.data(), n);

    BOOL lost = FALSE;
    const int m = WideCharToMultiByte(kCodePage, 0, wide.data(), n, nullptr, 0, nullptr, &lost);
    if (m == 0 || lost) return std::nullopt;
    std::string narrow(std::size_t(m), '\0');
    WideCharToMultiByte(kCodePage, 0, wide.data(), n, narrow.data(), m, nullptr, nullptr);
    return narrow;
}

bool IsLeadByte(unsigned char b)
{
    return IsDBCSLeadByteEx(kCodePage, b) != FALSE;
}
