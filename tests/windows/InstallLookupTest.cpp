// The installation lookup: HKEY_CURRENT_USER\Software\KESTRAVO\ミルカナード, value
// "GameDir", into InstallDir; and the check of what it found.
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <gtest/gtest.h>
#include <string>

#include "Handle.h"
#include "SysUtils.h"
#include "TestFiles.h"
#include "Text.h"
#include "Unit1.h"

namespace {

// The bytes of a string value as the registry stores it: UTF-16 with its NUL.
std::string Sz(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

void SetGameDir(HKEY root, DWORD type, const std::string& data)
{
    UniqueHKey title;
    ASSERT_EQ(RegCreateKeyExW(root, TitleKey().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, title.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(title.get(), L"GameDir", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             DWORD(data.size())),
              ERROR_SUCCESS);
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    UniqueHKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

struct LookupCase {
    const char* description;
    DWORD type;
    std::string data;
    std::string found;  // InstallDir afterwards
    const char* error;  // the ERegistryException's message, or none
};

void PrintTo(const LookupCase& c, std::ostream* os)
{
    *os << c.description;
}

const char kTypeError[] = "'GameDir' のデータ型が不正です";
const char kUntouched[] = "(as before)";

class GameDirValue : public MakerKeyTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(GameDirValue, GivesInstallDir)
{
    SetGameDir(HKEY_CURRENT_USER, GetParam().type, GetParam().data);
    InstallDir = kUntouched;
    try {
        TForm1::ReadInstallDir();
        EXPECT_EQ(GetParam().error, nullptr) << "no error raised";
    } catch (const ERegistryException& e) {
        ASSERT_NE(GetParam().error, nullptr) << e.Message();
        EXPECT_EQ(e.Message(), GetParam().error);
    }
    EXPECT_EQ(InstallDir, GetParam().found);
}

const std::string kDword = std::string("\x01\x00\x00\x00", 4);

INSTANTIATE_TEST_SUITE_P(
    Values, GameDirValue,
    ::testing::Values(LookupCase{"an empty string", REG_SZ, Sz(L""), "", nullptr},
                      LookupCase{"a folder with its final backslash", REG_SZ,
                                 Sz(L"C:\\ゲーム\\ミルカナード\\"), "C:\\ゲーム\\ミルカナード\\", nullptr},
                      LookupCase{"a folder without a final backslash, kept as it is", REG_SZ,
                                 Sz(L"C:\\ゲーム\\ミルカナード"), "C:\\ゲーム\\ミルカナード", nullptr},
                      LookupCase{"a folder ending in a character whose second byte is 0x5C", REG_SZ,
                                 Sz(L"C:\\一覧表"), "C:\\一覧表", nullptr},
                      LookupCase{"an environment reference, not expanded", REG_EXPAND_SZ,
                                 Sz(L"%ProgramFiles%\\KESTRAVO\\ミルカナード\\"),
                                 "%ProgramFiles%\\KESTRAVO\\ミルカナード\\", nullptr},
                      LookupCase{"a single space", REG_SZ, Sz(L" "), " ", nullptr},
                      LookupCase{"text cut at an embedded NUL", REG_SZ,
                                 Sz(std::wstring(L"C:\\Games\\\0D:\\Other\\", 19)), "C:\\Games\\", nullptr},
                      LookupCase{"text stored without its NUL", REG_SZ, Sz(L"C:\\Games\\").substr(0, 18),
                                 "C:\\Games\\", nullptr},
                      LookupCase{"text whose last character lacks a byte", REG_SZ,
                                 Sz(L"C:\\GamesX").substr(0, 17), "C:\\Games", nullptr},
                      LookupCase{"a string value without data", REG_SZ, "", "", nullptr},
                      LookupCase{"a binary value without data", REG_BINARY, "", "", nullptr},
                      LookupCase{"a number", REG_DWORD, kDword, kUntouched, kTypeError},
                      LookupCase{"several strings", REG_MULTI_SZ, Sz(std::wstring(L"C:\\Games\\\0", 10)),
                                 kUntouched, kTypeError},
                      LookupCase{"binary data", REG_BINARY, "C:\\", kUntouched, kTypeError},
                      LookupCase{"data of no type", REG_NONE, "C:\\", kUntouched, kTypeError}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return std::to_string(info.index); });

using InstallLookup = MakerKeyTest;

TEST_F(InstallLookup, WithoutAnyKeyCreatesTheEmptyMakerKeyAndFindsNothing)
{
    InstallDir = kUntouched;
    TForm1::ReadInstallDir();
    EXPECT_EQ(InstallDir, "");

    UniqueHKey maker;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kMakerKey, 0, KEY_READ, maker.put()), ERROR_SUCCESS);
    DWORD subkeys = 1;
    DWORD values = 1;
    ASSERT_EQ(RegQueryInfoKeyW(maker.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 0u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TitleKey()));
}

TEST_F(InstallLookup, NeverConsultsAValueUnderLocalMachine)
{
    const bool makerWasThere = KeyExists(HKEY_LOCAL_MACHINE, kMakerKey);
    SetGameDir(HKEY_LOCAL_MACHINE, REG_SZ, Sz(L"C:\\Games\\"));
    InstallDir = kUntouched;
    TForm1::ReadInstallDir();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, makerWasThere ? TitleKey().c_str() : kMakerKey);
    EXPECT_EQ(InstallDir, "");
}

// Puts the full-access DACL back on a key, so that it can be deleted afterwards.
// The owner may always change the DACL.
struct DaclRestorer {
    ~DaclRestorer() { SetDacl(L"D:P(A;;KA;;;WD)"); }
    static LONG SetDacl(const wchar_t* sddl)
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                                  nullptr))
            return LONG(GetLastError());
        UniqueHKey title;
        LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, TitleKey().c_str(), 0, WRITE_DAC, title.put());
        if (result == ERROR_SUCCESS)
            result = RegSetKeySecurity(title.get(), DACL_SECURITY_INFORMATION, descriptor);
        LocalFree(descriptor);
        return result;
    }
};

TEST_F(InstallLookup, FindsTheFolderInASubkeyThePlayerMayOnlyRead)
{
    SetGameDir(HKEY_CURRENT_USER, REG_SZ, Sz(L"C:\\ゲーム\\ミルカナード\\"));
    const DaclRestorer restorer;
    ASSERT_EQ(DaclRestorer::SetDacl(L"D:P(A;;KR;;;WD)"), ERROR_SUCCESS);
    // The restriction holds (Wine enforces key security as Windows does): full
    // access is refused, reading is allowed.
    UniqueHKey probe;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TitleKey().c_str(), 0, KEY_ALL_ACCESS, probe.put()),
              ERROR_ACCESS_DENIED);

    InstallDir = kUntouched;
    TForm1::ReadInstallDir();
    EXPECT_EQ(InstallDir, "C:\\ゲーム\\ミルカナード\\");
}

}  // namespace
