// The registry accessor: sections are subkeys of one key below HKEY_CURRENT_USER,
// idents their values.
#pragma once

#include <string>

#include "Handle.h"

class TRegIniFile {
public:
    // Opens HKEY_CURRENT_USER\<fileName> with full access, creating it when it is
    // missing. Never raises: a key that can be neither opened nor created leaves
    // the accessor working directly below HKEY_CURRENT_USER.
    explicit TRegIniFile(const std::string& fileName);

    // The text of the string value ident in the subkey section, opened for reading
    // only. REG_SZ and REG_EXPAND_SZ are read as they are stored, unexpanded, up to
    // the first NUL. A missing subkey or value gives defaultValue, a value without
    // data the empty string. Raises ERegistryException "'<ident>' のデータ型が不正です"
    // for any other type that holds data, and "'<ident>' の取得に失敗しました" when
    // the data cannot be read.
    std::string ReadString(const std::string& section, const std::string& ident,
                           const std::string& defaultValue) const;

private:
    UniqueHKey key_;
};
