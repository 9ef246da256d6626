// The program on a system whose ANSI code page is not Japanese (ctest runs this
// test program with the locale en_US.UTF-8, ANSI code page 1252): its code page
// 932 texts still reach Win32 as the Japanese names they are.
#include <windows.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "Handle.h"
#include "SysUtils.h"
#include "TestFiles.h"
#include "Text.h"
#include "Unit1.h"
#include "UpdateFiles.h"

namespace {

TEST(OtherLocale, AnsiCodePageIsWestern)
{
    EXPECT_EQ(GetACP(), 1252u);
}

using LookupInOtherLocale = MakerKeyTest;

TEST_F(LookupInOtherLocale, FindsTheJapaneseKeyAndItsJapaneseFolder)
{
    UniqueHKey title;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TitleKey().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, title.put(), nullptr),
              ERROR_SUCCESS);
    const std::wstring folder = L"C:\\ゲーム\\ミルカナード表";
    ASSERT_EQ(
        RegSetValueExW(title.get(), L"GameDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       DWORD((folder.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);

    InstallDir.clear();
    TForm1::ReadInstallDir();
    EXPECT_EQ(InstallDir, "C:\\ゲーム\\ミルカナード表");
    EXPECT_EQ(ToWide(InstallDir), folder);
}

using ReplacementInOtherLocale = InstallFolderTest;

TEST_F(ReplacementInOtherLocale, WritesIntoAFolderWithAJapaneseName)
{
    // The fixture's folder has a Japanese name; this one below it ends in "ソ" too.
    const std::string folder = PathOf("アップデートソ");
    ASSERT_TRUE(CreateDirectoryW(ToWide(folder).c_str(), nullptr));
    WriteBytes(folder + "\\md_scr2.med", "old game data");

    ReplaceGameFiles(folder);

    EXPECT_EQ(ReadBytes(folder + "\\md_scr2.med"), Decoded("SCR2"));
    EXPECT_EQ(ReadBytes(folder + "\\readme.txt"), Decoded("TXT"));
    EXPECT_EQ(Entries(folder + "\\"), (std::vector<std::string>{"md_scr2.med", "readme.txt"}));
}

TEST_F(ReplacementInOtherLocale, NamesAJapanesePathInItsError)
{
    const std::string target = PathOf("無い\\readme.txt");
    try {
        ExtractPayload("TXT", target);
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "ファイル " + target + " を作成できません");
    }
}

}  // namespace
