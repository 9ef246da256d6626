// What the Windows tests need around the program: files and folders seen through
// the wide API, the decoded payloads, and the maker's registry key kept safe.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

// The bytes of a file, or nothing at all when it cannot be read.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
DWORD Attributes(const std::string& path);
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> Entries(const std::string& folder);

// Text with every byte outside ASCII written as \xNN, for test names.
std::string Escaped(const std::string& text);

// What the named payload resource decodes to.
std::string Decoded(const std::string& resource);

// A fresh, empty installation folder for each test, removed with everything in it
// afterwards. Folder() ends with a backslash.
class InstallFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& Folder() const { return folder_; }
    std::string PathOf(const std::string& name) const { return folder_ + name; }

private:
    std::string folder_;
};

// HKEY_CURRENT_USER\Software\KESTRAVO as the test found it is set aside before
// each test, so every test starts without it, and put back afterwards.
class MakerKeyTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The key paths the lookup uses, as wide text.
extern const wchar_t kMakerKey[];
std::wstring TitleKey();
