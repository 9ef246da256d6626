#include "TestFiles.h"

#include <algorithm>

#include "Classes.h"
#include "FileStreams.h"
#include "PayloadDecoder.h"
#include "Text.h"

const wchar_t kMakerKey[] = L"Software\\KESTRAVO";

std::wstring TitleKey()
{
    // Written as a wide literal, apart from the program's code page 932 texts, so a
    // wrong conversion in the program cannot hide behind the same one here.
    return L"Software\\KESTRAVO\\ミルカナード";
}

std::string ReadBytes(const std::string& path)
{
    const UniqueFile file(CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (file && ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got != 0)
        bytes.append(chunk, got);
    return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    const UniqueFile file(CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << path;
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

bool Exists(const std::string& path)
{
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

DWORD Attributes(const std::string& path)
{
    return GetFileAttributesW(ToWide(path).c_str());
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(ToWide(folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(FromWide(name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Escaped(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            escaped += c;
        } else {
            escaped += "\\x";
            escaped += kHex[b >> 4];
            escaped += kHex[b & 15];
        }
    }
    return escaped;
}

std::string Decoded(const std::string& resource)
{
    TResourceStream payload(resource);
    TMemoryStream bytes;
    DecodePayload(payload, bytes);
    return std::string(bytes.Bytes().begin(), bytes.Bytes().end());
}

namespace {

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + L"\\");
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

bool KeyExists(const wchar_t* path)
{
    UniqueHKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// Where the maker's key waits while a test runs. A copy left here by a run that
// was cut short is the original and is never overwritten.
const wchar_t kSavedMakerKey[] = L"Software\\rqx-tests-saved-KESTRAVO";

}  // namespace

void InstallFolderTest::SetUp()
{
    static int count = 0;
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    // A Japanese name, so that every test also shows the paths crossing into Win32 intact.
    folder_ = FromWide(temp) + "rqx-インストール先-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++count) + "\\";
    ASSERT_TRUE(CreateDirectoryW(ToWide(folder_).c_str(), nullptr)) << folder_;
}

void InstallFolderTest::TearDown()
{
    if (!folder_.empty()) RemoveTree(ToWide(folder_));
}

void MakerKeyTest::SetUp()
{
    if (!KeyExists(kSavedMakerKey) && KeyExists(kMakerKey)) {
        UniqueHKey saved;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSavedMakerKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, saved.put(), nullptr),
                  ERROR_SUCCESS);
        UniqueHKey maker;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kMakerKey, 0, KEY_READ, maker.put()), ERROR_SUCCESS);
        ASSERT_EQ(RegCopyTreeW(maker.get(), nullptr, saved.get()), ERROR_SUCCESS);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kMakerKey);
    ASSERT_FALSE(KeyExists(kMakerKey));
}

void MakerKeyTest::TearDown()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kMakerKey);
    if (!KeyExists(kSavedMakerKey)) return;
    UniqueHKey maker;
    UniqueHKey saved;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kMakerKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, maker.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSavedMakerKey, 0, KEY_READ, saved.put()), ERROR_SUCCESS);
    ASSERT_EQ(RegCopyTreeW(saved.get(), nullptr, maker.get()), ERROR_SUCCESS);
    saved.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kSavedMakerKey);
}
