#include "Registry.h"

#include <vector>

#include "SysUtils.h"
#include "Text.h"

TRegIniFile::TRegIniFile(const std::string& fileName)
{
    RegCreateKeyExW(HKEY_CURRENT_USER, ToWide(fileName).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, key_.put(), nullptr);
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& defaultValue) const
{
    // Reading needs no more than read access: a subkey the user may only read is
    // still found.
    UniqueHKey subkey;
    if (RegOpenKeyExW(key_ ? key_.get() : HKEY_CURRENT_USER, ToWide(section).c_str(), 0, KEY_READ,
                      subkey.put()) != ERROR_SUCCESS)
        return defaultValue;

    const std::wstring name = ToWide(ident);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(subkey.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return defaultValue;
    if (size == 0) return {};

    // The size is in bytes and the stored text need not end with a NUL, nor even
    // fill its last character: the buffer is rounded up and carries a NUL of its own.
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    DWORD read = size;
    if (RegQueryValueExW(subkey.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &read) != ERROR_SUCCESS)
        throw ERegistryException(Format("'%s' の取得に失敗しました", ident));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryException(Format("'%s' のデータ型が不正です", ident));

    data[read / sizeof(wchar_t)] = L'\0';
    return FromWide(data.data());
}
