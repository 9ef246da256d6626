// Extraction: a payload resource becomes a file, and the file it replaces is
// never lost on the way.
#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "FileStreams.h"
#include "PayloadDecoder.h"
#include "SysUtils.h"
#include "TestFiles.h"
#include "Text.h"
#include "Unit1.h"

namespace {

using Names = std::vector<std::string>;

std::string CannotCreate(const std::string& path)
{
    return "ファイル " + path + " を作成できません";
}

// The sample payload that this test program carries, as its packer describes it.
std::string SampleContent()
{
    return std::string(1 + 4096 * 600, 'A') + "END\r\n";
}

class ExtractResourceWrites : public InstallFolderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ExtractResourceWrites, ExactlyTheDecodedBytesIntoANewFile)
{
    EXPECT_TRUE(TForm1::ExtractResource(GetParam(), PathOf("new.bin")));
    ASSERT_TRUE(Exists(PathOf("new.bin")));
    EXPECT_EQ(ReadBytes(PathOf("new.bin")), Decoded(GetParam()));
    EXPECT_EQ(Entries(Folder()), Names{"new.bin"});
}

// The program's own two payloads and the tests' sample, which decodes in more
// than one block.
INSTANTIATE_TEST_SUITE_P(EveryPayload, ExtractResourceWrites, ::testing::Values("SCR2", "TXT", "SAMPLE"));

using ExtractResource = InstallFolderTest;

TEST_F(ExtractResource, WritesTheSamplePayloadsKnownContent)
{
    TForm1::ExtractResource("SAMPLE", PathOf("sample.txt"));
    EXPECT_EQ(ReadBytes(PathOf("sample.txt")), SampleContent());
}

TEST_F(ExtractResource, MissingResourceRaisesEResNotFoundNamingItAndTouchesNoFile)
{
    WriteBytes(PathOf("readme.txt"), "old readme");
    for (const char* target : {"readme.txt", "md_scr2.med"}) {
        try {
            TForm1::ExtractResource("NOSUCH", PathOf(target));
            ADD_FAILURE() << "no error for a missing resource";
        } catch (const EResNotFound& e) {
            EXPECT_EQ(e.Message(), "NOSUCH リソースが見つかりません");
        }
    }
    EXPECT_EQ(ReadBytes(PathOf("readme.txt")), "old readme");
    EXPECT_EQ(Entries(Folder()), Names{"readme.txt"});
}

TEST_F(ExtractResource, MissingFolderRaisesEFCreateErrorWithTheFullPath)
{
    const std::string target = PathOf("無い\\md_scr2.med");
    try {
        TForm1::ExtractResource("SCR2", target);
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), CannotCreate(target));
    }
    EXPECT_EQ(Entries(Folder()), Names{});
}

class ExistingTarget : public InstallFolderTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ExistingTarget, IsReplacedWhateverItsOldSize)
{
    WriteBytes(PathOf("md_scr2.med"), std::string(GetParam(), 'x'));
    TForm1::ExtractResource("SAMPLE", PathOf("md_scr2.med"));
    EXPECT_EQ(ReadBytes(PathOf("md_scr2.med")), SampleContent());
    EXPECT_EQ(Entries(Folder()), Names{"md_scr2.med"});
}

// Empty, shorter than the new file, and longer than it.
INSTANTIATE_TEST_SUITE_P(OldSizes, ExistingTarget, ::testing::Values(0, 1, 4096, 2457606, 3 * 1024 * 1024));

class HiddenOrSystemTarget : public InstallFolderTest, public ::testing::WithParamInterface<DWORD> {};

// Wine keeps hidden and system only where the file system stores its extra
// attributes; where it does not, the attributes are gone before the replacement
// and the test shows the ordinary case.
TEST_P(HiddenOrSystemTarget, BecomesAnOrdinaryFile)
{
    WriteBytes(PathOf("readme.txt"), "old readme");
    ASSERT_TRUE(SetFileAttributesW(ToWide(PathOf("readme.txt")).c_str(), GetParam()));
    TForm1::ExtractResource("SAMPLE", PathOf("readme.txt"));
    EXPECT_EQ(ReadBytes(PathOf("readme.txt")), SampleContent());
    EXPECT_EQ(Attributes(PathOf("readme.txt")) &
                  (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
              0u);
}

INSTANTIATE_TEST_SUITE_P(Attributes, HiddenOrSystemTarget,
                         ::testing::Values(FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

// Whatever stops a replacement, the old file stays as it was and no temporary
// file is left beside it.
enum class Obstacle { ReadOnlyTarget, TargetHeldOpenWithoutSharing, DamagedPayload };

struct FailureCase {
    Obstacle obstacle;
    const char* resource;
    const std::type_info* error;
};

std::string NameOf(Obstacle obstacle)
{
    switch (obstacle) {
        case Obstacle::ReadOnlyTarget:
            return "ReadOnlyTarget";
        case Obstacle::TargetHeldOpenWithoutSharing:
            return "TargetHeldOpenWithoutSharing";
        case Obstacle::DamagedPayload:
            break;
    }
    return "DamagedPayload";
}

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << NameOf(c.obstacle) << ", resource " << c.resource;
}

class FailedReplacement : public InstallFolderTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedReplacement, LeavesTheOldFileIntactAndNoTemporaryFile)
{
    const std::string target = PathOf("md_scr2.med");
    const std::wstring wideTarget = ToWide(target);
    WriteBytes(target, "old game data");
    UniqueFile heldOpen;
    switch (GetParam().obstacle) {
        case Obstacle::ReadOnlyTarget:
            ASSERT_TRUE(SetFileAttributesW(wideTarget.c_str(), FILE_ATTRIBUTE_READONLY));
            break;
        case Obstacle::TargetHeldOpenWithoutSharing:
            heldOpen.reset(CreateFileW(wideTarget.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(heldOpen);
            break;
        case Obstacle::DamagedPayload:
            break;
    }

    const std::string expected =
        GetParam().obstacle == Obstacle::DamagedPayload ? EPayloadError().Message() : CannotCreate(target);
    try {
        TForm1::ExtractResource(GetParam().resource, target);
        ADD_FAILURE() << "the replacement reported success";
    } catch (const Exception& e) {
        EXPECT_EQ(typeid(e), *GetParam().error);
        EXPECT_EQ(e.Message(), expected);
    }

    heldOpen.reset();
    if (GetParam().obstacle == Obstacle::ReadOnlyTarget) {
        EXPECT_TRUE(Attributes(target) & FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(wideTarget.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_EQ(ReadBytes(target), "old game data");
    EXPECT_EQ(Entries(Folder()), Names{"md_scr2.med"});
}

INSTANTIATE_TEST_SUITE_P(
    Obstacles, FailedReplacement,
    ::testing::Values(FailureCase{Obstacle::ReadOnlyTarget, "SCR2", &typeid(EFCreateError)},
                      FailureCase{Obstacle::TargetHeldOpenWithoutSharing, "SCR2", &typeid(EFCreateError)},
                      // Fails after the decoder has written its first block.
                      FailureCase{Obstacle::DamagedPayload, "BAD", &typeid(EPayloadError)}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return NameOf(info.param.obstacle); });

TEST(DeleteFile, ReportsAFileThatIsNotThereWithoutRaising)
{
    EXPECT_FALSE(DeleteFile("C:\\rqx-no-such-folder\\md_scr2.mbl"));
}

}  // namespace
