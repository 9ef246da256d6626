// The updater's window as its description and its handlers make it: the layout
// of TFORM1, the centring, the banner read back from the picture, and the
// installation check when a folder was found.
#include <windows.h>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "Text.h"
#include "UiTestSupport.h"
#include "Unit1.h"

namespace {

struct BannerLine {
    int y;
    std::string text;
};

// The lines the banner must show, and where.
const std::vector<BannerLine> kBannerLines = {
    {10, "『ミルカナード』をお買い求めいただき、まことにありがとうございます。"},
    {50, "このたびは、製品の不具合により、お客様各位に多大なご迷惑を"},
    {70, "おかけしましたこと、深くお詫び申し上げます。"},
    {95, "本プログラムは製品の不具合を修正するものです。"},
    {130, "[アップデート開始] ボタンで自動的にアップデートを開始します。"},
};

// The blue of the banner's row y, as 0x00RRGGBB.
DWORD GradientAt(int y, int height)
{
    return DWORD(((height - y) * 255) / height);
}

// A TForm1 made from the program's own description, with an installation folder
// found, so that showing it goes no further than the banner.
class Form1Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        form_ = std::make_unique<TForm1>(nullptr);
        InstallDir = "C:\\Games\\ミルカナード\\";
    }
    void TearDown() override { InstallDir.clear(); }

    TImage& Picture() { return *form_->Image1; }
    TCanvas& Canvas() { return form_->Image1->Canvas(); }
    TPixels Pixels() { return Capture(Canvas().Handle(), 0, 0, Canvas().Width(), Canvas().Height()); }

    std::unique_ptr<TForm1> form_;
};

TEST_F(Form1Test, TakesItsLayoutAndCaptionsFromTheDescription)
{
    EXPECT_EQ(WindowText(form_->Handle()), L"アップデーター");
    EXPECT_EQ(form_->Width(), 618);
    EXPECT_EQ(form_->Height(), 291);
    struct Expected {
        TControl* control;
        int left, top, width, height;
        const wchar_t* caption;
    };
    const Expected controls[] = {
        {form_->Image1, 8, 8, 593, 193, nullptr},
        {form_->Button1, 8, 216, 113, 33, L"アップデート開始"},
        {form_->Button3, 496, 216, 83, 33, L"終了"},
    };
    for (const Expected& e : controls) {
        ASSERT_NE(e.control, nullptr);
        EXPECT_EQ(e.control->Left(), e.left);
        EXPECT_EQ(e.control->Top(), e.top);
        EXPECT_EQ(e.control->Width(), e.width);
        EXPECT_EQ(e.control->Height(), e.height);
        if (e.caption != nullptr) {
            EXPECT_EQ(WindowText(e.control->Handle()), e.caption);
        }
    }
    EXPECT_EQ(GetNextDlgTabItem(form_->Handle(), form_->Button1->Handle(), FALSE), form_->Button3->Handle());
}

TEST_F(Form1Test, IsCentredOnThePrimaryDisplayWhenCreated)
{
    EXPECT_EQ(form_->Left(), CentredPosition(GetSystemMetrics(SM_CXSCREEN), 618));
    EXPECT_EQ(form_->Top(), CentredPosition(GetSystemMetrics(SM_CYSCREEN), 291));
}

TEST_F(Form1Test, ShowingWithAFolderFoundShowsNoBoxAndKeepsTheApplicationRunning)
{
    for (const char* folder : {" ", "C:\\Games\\ミルカナード\\"}) {
        InstallDir = folder;
        TMessageBoxWatcher watcher;
        form_->CheckInstallDir();
        EXPECT_TRUE(watcher.Boxes().empty()) << folder;
        EXPECT_FALSE(Application->Terminated()) << folder;
    }
}

class BannerTest : public Form1Test {
protected:
    void SetUp() override
    {
        Form1Test::SetUp();
        form_->PaintBanner();
        pixels_ = Pixels();
        for (const BannerLine& line : kBannerLines)
            cells_.push_back(TextCell(Canvas(), 10, line.y, line.text));
    }

    bool InText(int x, int y) const
    {
        for (const RECT& cell : cells_) {
            if (Inside(cell, x, y)) return true;
        }
        return false;
    }

    TPixels pixels_;
    std::vector<RECT> cells_;
};

TEST_F(BannerTest, EveryPixelOutsideTheTextIsTheBlueOfItsRow)
{
    int wrong = 0;
    for (int y = 0; y < pixels_.height; ++y) {
        for (int x = 0; x < pixels_.width; ++x) {
            if (!InText(x, y) && pixels_.At(x, y) != GradientAt(y, 193)) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

struct RowCase {
    int row;
    int blue;
};

class BannerRowTest : public BannerTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(BannerRowTest, HasItsBlueWhereNoGlyphIs)
{
    const int y = GetParam().row;
    int checked = 0;
    for (int x = 0; x < pixels_.width; ++x) {
        if (InText(x, y)) continue;
        ++checked;
        ASSERT_EQ(Red(pixels_.At(x, y)), 0) << "at " << x;
        ASSERT_EQ(Green(pixels_.At(x, y)), 0) << "at " << x;
        ASSERT_EQ(Blue(pixels_.At(x, y)), GetParam().blue) << "at " << x;
    }
    EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, BannerRowTest,
                         ::testing::Values(RowCase{0, 255}, RowCase{1, 253}, RowCase{2, 252},
                                           RowCase{96, 128}, RowCase{97, 126}, RowCase{191, 2},
                                           RowCase{192, 1}));

TEST_F(BannerTest, WritesEachLineInWhiteWithTheGradientShowingThrough)
{
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const RECT& cell = cells_[i];
        int white = 0;
        int gradient = 0;
        for (int y = cell.top; y < cell.bottom; ++y) {
            for (int x = cell.left; x < cell.right; ++x) {
                const DWORD pixel = pixels_.At(x, y);
                if (pixel == 0xFFFFFF) ++white;
                if (pixel == GradientAt(y, 193)) ++gradient;
                // White over blue: red and green rise together, blue never falls.
                ASSERT_EQ(Red(pixel), Green(pixel)) << "line " << i + 1 << " at " << x << "," << y;
                ASSERT_GE(Blue(pixel), int(GradientAt(y, 193)))
                    << "line " << i + 1 << " at " << x << "," << y;
            }
        }
        const int area = (cell.right - cell.left) * (cell.bottom - cell.top);
        EXPECT_GT(white, 0) << "line " << i + 1;
        // The background is not painted: most of the cell is still the gradient.
        EXPECT_GT(gradient, area / 2) << "line " << i + 1;
    }
}

TEST_F(BannerTest, ASecondPaintGivesTheSamePicture)
{
    form_->PaintBanner();
    EXPECT_TRUE(Pixels().rgb == pixels_.rgb);
}

TEST_F(BannerTest, ShowsUnscaledInItsPlaceWithNothingDrawnOutsideIt)
{
    form_->Show();
    // Text that runs past the right edge is cut off there.
    Canvas().TextOut(560, 170, "はみ出すテキスト");
    UpdateWindow(form_->Handle());
    const TPixels picture = Pixels();

    const TPixels client = CaptureClient(form_->Handle());
    ASSERT_GE(client.width, 8 + 593 + 8);
    ASSERT_GE(client.height, 8 + 193 + 8);
    int different = 0;
    for (int y = 0; y < 193; ++y) {
        for (int x = 0; x < 593; ++x) different += client.At(8 + x, 8 + y) != picture.At(x, y) ? 1 : 0;
    }
    EXPECT_EQ(different, 0);
    const DWORD face = GetSysColor(COLOR_BTNFACE);
    const DWORD faceRgb = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    for (int y = 0; y < 8 + 193 + 8; ++y) {
        for (int x = 8 + 593; x < client.width; ++x)
            ASSERT_EQ(client.At(x, y), faceRgb) << "at " << x << "," << y;
    }
}

TEST_F(BannerTest, IsShownAgainFromMemoryWhenTheWindowIsRepainted)
{
    form_->Show();
    UpdateWindow(form_->Handle());
    const TPixels before = CaptureClient(form_->Handle());
    RedrawWindow(form_->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_TRUE(CaptureClient(form_->Handle()).rgb == before.rgb);
}

}  // namespace
