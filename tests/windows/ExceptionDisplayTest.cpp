// The rules of the exception box's text and caption, and the centring arithmetic.
// Texts here are code page 932, as the program's are.
#include <gtest/gtest.h>
#include <string>

#include "Forms.h"

namespace {

struct TextCase {
    const char* message;
    const char* shown;
};

class ExceptionBoxTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ExceptionBoxTextTest, AppendsAFullStopOnlyAfterACharacterGreaterThanIt)
{
    EXPECT_EQ(ExceptionBoxText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Messages, ExceptionBoxTextTest,
                         ::testing::Values(
                             // An empty message stays empty.
                             TextCase{"", ""},
                             // Letters and digits are greater than ".".
                             TextCase{"ok", "ok."}, TextCase{"version 1.5", "version 1.5."},
                             // "." itself, and what sorts before it, get nothing.
                             TextCase{"done.", "done."}, TextCase{"Stop!", "Stop!"}, TextCase{"a-", "a-"},
                             TextCase{"x,", "x,"},
                             // "/" comes right after "." in ASCII.
                             TextCase{"C:/", "C:/."},
                             // A double-byte last character compares by its lead byte, always above ".".
                             TextCase{"ストリームからの読み込みエラー", "ストリームからの読み込みエラー."},
                             TextCase{"ファイル C:\\ゲーム\\md_scr2.med を作成できません",
                                      "ファイル C:\\ゲーム\\md_scr2.med を作成できません."},
                             // A Japanese full stop is a double-byte character too.
                             TextCase{"終了しました。", "終了しました。."},
                             // A half-width katakana is one byte above 0x80.
                             TextCase{"ｴﾗｰ", "ｴﾗｰ."},
                             // One that ends in a full stop from an earlier double-byte character.
                             TextCase{"エラー.", "エラー."},
                             TextCase{"外部例外 E06D7363", "外部例外 E06D7363."}));

struct TitleCase {
    const char* fileName;
    const char* title;
};

class TitleFromFileNameTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleFromFileNameTest, IsTheNameCutAtItsFirstDotAndLoweredAfterItsFirstCharacter)
{
    EXPECT_EQ(TitleFromFileName(GetParam().fileName), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    FileNames, TitleFromFileNameTest,
    ::testing::Values(TitleCase{"C:\\Program Files\\RQX\\updater.exe", "updater"},
                      TitleCase{"C:\\GAMES\\UPDATER.EXE", "Updater"}, TitleCase{"D:SETUP.EXE", "Setup"},
                      TitleCase{"C:/games/Patch.exe", "Patch"},
                      // Cut at the first dot, not the last; a dot in a folder does not count.
                      TitleCase{"C:\\a.b\\Patch.v2.exe", "Patch"},
                      // No dot: the whole name.
                      TitleCase{"C:\\tools\\README", "Readme"},
                      // The first character stays as it is.
                      TitleCase{"x.exe", "x"}, TitleCase{"", ""},
                      // Double-byte names: the second bytes of ア (83 41), ッ (83 62) and ト (83 67)
                      // are the codes of "A", "b" and "g" and must not be lowered.
                      TitleCase{"C:\\ゲーム\\アップデート.EXE", "アップデート"},
                      // The second byte of 表 (95 5C) and of ソ (83 5C) is a backslash, and no separator.
                      TitleCase{"C:\\表\\ソフト.exe", "ソフト"}, TitleCase{"表示.EXE", "表示"},
                      // Full-width letters are letters: all but the first are lowered.
                      TitleCase{"ＡＢＣ.exe", "Ａｂｃ"}, TitleCase{"ＡBC.exe", "Ａbc"},
                      TitleCase{"Ｚ.exe", "Ｚ"}));

struct CentringCase {
    int screenWidth;
    int screenHeight;
    int left;
    int top;
};

class CentredPositionTest : public ::testing::TestWithParam<CentringCase> {};

// The updater's window is 618 × 291 pixels.
TEST_P(CentredPositionTest, HalvesTheDifferenceTowardZero)
{
    EXPECT_EQ(CentredPosition(GetParam().screenWidth, 618), GetParam().left);
    EXPECT_EQ(CentredPosition(GetParam().screenHeight, 291), GetParam().top);
}

INSTANTIATE_TEST_SUITE_P(Displays, CentredPositionTest,
                         ::testing::Values(CentringCase{1920, 1080, 651, 394},
                                           CentringCase{1024, 768, 203, 238}, CentringCase{640, 480, 11, 94},
                                           // Smaller than the window: -9 and -1, not -9 and -2.
                                           CentringCase{600, 288, -9, -1},
                                           // An odd difference: 405 / 2.
                                           CentringCase{1023, 768, 202, 238}));

}  // namespace
