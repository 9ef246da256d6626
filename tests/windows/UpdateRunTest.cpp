// The update run's file steps in the installation folder, and how file names are
// joined to the folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SysUtils.h"
#include "TestFiles.h"
#include "Text.h"
#include "UpdateFiles.h"

namespace {

using Names = std::vector<std::string>;

TEST(ShiftJis, SoAndHyoEndWithTheByteOfABackslash)
{
    // The trap the join rule must step around.
    EXPECT_EQ(std::string("ソ").back(), '\\');
    EXPECT_EQ(std::string("表").back(), '\\');
}

struct JoinCase {
    const char* folder;
    const char* joined;
};

void PrintTo(const JoinCase& c, std::ostream* os)
{
    *os << '"' << Escaped(c.folder) << '"';
}

class JoinPathOf : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinPathOf, FolderAndFileNameAddsASeparatorOnlyWhereOneIsMissing)
{
    EXPECT_EQ(JoinPath(GetParam().folder, "readme.txt"), GetParam().joined);
}

INSTANTIATE_TEST_SUITE_P(Folders, JoinPathOf,
                         ::testing::Values(JoinCase{"C:\\Games\\", "C:\\Games\\readme.txt"},
                                           JoinCase{"C:/Games/", "C:/Games/readme.txt"},
                                           JoinCase{"C:\\Games", "C:\\Games\\readme.txt"},
                                           JoinCase{"C:\\ゲーム\\ミルカナード",
                                                    "C:\\ゲーム\\ミルカナード\\readme.txt"},
                                           JoinCase{"C:\\ゲーム\\ソ", "C:\\ゲーム\\ソ\\readme.txt"},
                                           JoinCase{"C:\\ゲーム\\ソ\\", "C:\\ゲーム\\ソ\\readme.txt"},
                                           JoinCase{"D:\\一覧表", "D:\\一覧表\\readme.txt"},
                                           JoinCase{"D:\\一覧表/", "D:\\一覧表/readme.txt"},
                                           JoinCase{" ", " \\readme.txt"}, JoinCase{"", "readme.txt"}));

using UpdateRun = InstallFolderTest;

TEST_F(UpdateRun, DeletesTheIndexAndReplacesBothFiles)
{
    WriteBytes(PathOf("md_scr2.mbl"), "old index");
    WriteBytes(PathOf("md_scr2.med"), "old game data");
    WriteBytes(PathOf("readme.txt"), "old readme");
    WriteBytes(PathOf("save01.dat"), "the player's own");

    DeleteIndexFile(Folder());
    EXPECT_FALSE(Exists(PathOf("md_scr2.mbl")));
    ReplaceGameFiles(Folder());

    EXPECT_EQ(ReadBytes(PathOf("md_scr2.med")), Decoded("SCR2"));
    EXPECT_EQ(ReadBytes(PathOf("readme.txt")), Decoded("TXT"));
    EXPECT_EQ(ReadBytes(PathOf("save01.dat")), "the player's own");
    EXPECT_EQ(Entries(Folder()), (Names{"md_scr2.med", "readme.txt", "save01.dat"}));
}

TEST_F(UpdateRun, WritesBothFilesWhereNoneWasBefore)
{
    DeleteIndexFile(Folder());
    ReplaceGameFiles(Folder());
    EXPECT_EQ(Entries(Folder()), (Names{"md_scr2.med", "readme.txt"}));
}

TEST_F(UpdateRun, LeavesAReadOnlyIndexAndGoesOn)
{
    WriteBytes(PathOf("md_scr2.mbl"), "old index");
    SetFileAttributesW(ToWide(PathOf("md_scr2.mbl")).c_str(), FILE_ATTRIBUTE_READONLY);
    DeleteIndexFile(Folder());
    ReplaceGameFiles(Folder());
    // Windows keeps the read-only index; Wine running as root deletes it. Either
    // way the run goes on to both files.
    EXPECT_EQ(ReadBytes(PathOf("md_scr2.med")), Decoded("SCR2"));
    EXPECT_EQ(ReadBytes(PathOf("readme.txt")), Decoded("TXT"));
}

struct StopCase {
    const char* readOnlyFile;
    bool gameDataReplaced;
};

void PrintTo(const StopCase& c, std::ostream* os)
{
    *os << c.readOnlyFile << " read-only";
}

class UpdateRunStops : public InstallFolderTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(UpdateRunStops, AtTheFirstFileThatCannotBeReplacedAndNamesIt)
{
    WriteBytes(PathOf("md_scr2.mbl"), "old index");
    WriteBytes(PathOf("md_scr2.med"), "old game data");
    WriteBytes(PathOf("readme.txt"), "old readme");
    const std::string blocked = PathOf(GetParam().readOnlyFile);
    ASSERT_TRUE(SetFileAttributesW(ToWide(blocked).c_str(), FILE_ATTRIBUTE_READONLY));

    DeleteIndexFile(Folder());
    try {
        ReplaceGameFiles(Folder());
        ADD_FAILURE() << "the run reported success";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "ファイル " + blocked + " を作成できません");
    }

    SetFileAttributesW(ToWide(blocked).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(PathOf("md_scr2.med")),
              GetParam().gameDataReplaced ? Decoded("SCR2") : "old game data");
    EXPECT_EQ(ReadBytes(PathOf("readme.txt")), "old readme");
    EXPECT_EQ(Entries(Folder()), (Names{"md_scr2.med", "readme.txt"}));
}

INSTANTIATE_TEST_SUITE_P(ReadOnlyFiles, UpdateRunStops,
                         ::testing::Values(StopCase{"md_scr2.med", false}, StopCase{"readme.txt", true}));

class FolderWithoutFinalSeparator : public InstallFolderTest,
                                    public ::testing::WithParamInterface<const char*> {};

TEST_P(FolderWithoutFinalSeparator, GetsTheFilesInsideItNotBesideIt)
{
    const std::string folder = PathOf(GetParam());
    ASSERT_TRUE(CreateDirectoryW(ToWide(folder).c_str(), nullptr));
    WriteBytes(folder + "\\md_scr2.mbl", "old index");

    DeleteIndexFile(folder);
    ReplaceGameFiles(folder);

    EXPECT_EQ(Entries(folder + "\\"), (Names{"md_scr2.med", "readme.txt"}));
    EXPECT_EQ(ReadBytes(folder + "\\readme.txt"), Decoded("TXT"));
    EXPECT_EQ(Entries(Folder()), Names{GetParam()});
}

// Two names whose last character ends with the byte of a backslash, and two plain ones.
INSTANTIATE_TEST_SUITE_P(Names, FolderWithoutFinalSeparator,
                         ::testing::Values("アップデートソ", "データ表", "ミルカナード", "Game"));

}  // namespace
