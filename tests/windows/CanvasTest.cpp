// The picture and its canvas, with the updater's banner as the fixture: a blue
// gradient, row by row, and five lines of white text drawn over it.
#include <windows.h>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "Forms.h"
#include "Text.h"
#include "UiTestSupport.h"

namespace {

const char kProductTitle[] = "ミルカナード";

struct BannerLine {
    int y;
    std::string text;
};

const std::vector<BannerLine> kBannerLines = {
    {10, std::string("『") + kProductTitle + "』をお買い求めいただき、まことにありがとうございます。"},
    {50, "このたびは、製品の不具合により、お客様各位に多大なご迷惑を"},
    {70, "おかけしましたこと、深くお詫び申し上げます。"},
    {95, "本プログラムは製品の不具合を修正するものです。"},
    {130, "[アップデート開始] ボタンで自動的にアップデートを開始します。"},
};

// The updater's banner, painted the way its window paints it.
void PaintBanner(TImage& image)
{
    const int h = image.Height();
    for (int i = 0; i < h; ++i) {
        const int blue = ((h - i) * 255) / h;
        image.Canvas().Brush().SetColor(TColor(blue * 65536));
        image.Canvas().FillRect({0, i, image.Width(), i + 1});
    }
    image.Canvas().Brush().SetStyle(bsClear);
    image.Canvas().Font().SetHeight(16);
    image.Canvas().Font().SetColor(clWhite);
    for (const BannerLine& line : kBannerLines) image.Canvas().TextOut(10, line.y, line.text);
}

// The blue of the banner's row y, as 0x00RRGGBB.
DWORD GradientAt(int y, int height)
{
    return DWORD(((height - y) * 255) / height);
}

// The cell that a text takes when written with the canvas's font at (x, y).
RECT TextCell(TCanvas& canvas, int x, int y, const std::string& text)
{
    const std::wstring wide = ToWide(text);
    const HGDIOBJ previous = SelectObject(canvas.Handle(), canvas.Font().Handle());
    SIZE extent{};
    GetTextExtentPoint32W(canvas.Handle(), wide.data(), int(wide.size()), &extent);
    SelectObject(canvas.Handle(), previous);
    return {x, y, x + extent.cx, y + extent.cy};
}

bool Inside(const RECT& rect, int x, int y)
{
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TTestForm::Script = {};
        form_ = std::make_unique<TTestForm>(nullptr);
    }

    TImage& Picture() { return *form_->Picture; }
    TCanvas& Canvas() { return form_->Picture->Canvas(); }
    TPixels Pixels() { return Capture(Canvas().Handle(), 0, 0, Canvas().Width(), Canvas().Height()); }

    std::unique_ptr<TTestForm> form_;
};

TEST_F(CanvasTest, StartsAsAWhitePictureOfTheControlsSize)
{
    ASSERT_EQ(Canvas().Width(), 593);
    ASSERT_EQ(Canvas().Height(), 193);
    const TPixels pixels = Pixels();
    EXPECT_EQ(std::count(pixels.rgb.begin(), pixels.rgb.end(), 0xFFFFFFu), 593 * 193);
}

TEST_F(CanvasTest, FillRectCoversTheLeftAndTopEdgesButNotTheRightAndBottom)
{
    Canvas().Brush().SetColor(clBlack);
    Canvas().FillRect({2, 3, 5, 6});
    const TPixels pixels = Pixels();
    for (int y = 1; y <= 7; ++y) {
        for (int x = 1; x <= 6; ++x) {
            const bool filled = x >= 2 && x < 5 && y >= 3 && y < 6;
            EXPECT_EQ(pixels.At(x, y), filled ? 0x000000u : 0xFFFFFFu) << "at " << x << "," << y;
        }
    }
}

TEST_F(CanvasTest, AClearBrushFillsNothingAndIsWhiteOnceSolidAgain)
{
    Canvas().Brush().SetColor(0x0000FF);
    Canvas().Brush().SetStyle(bsClear);
    EXPECT_EQ(Canvas().Brush().Color(), clWhite);
    Canvas().Brush().SetColor(clBlack);
    Canvas().FillRect({0, 0, 593, 193});
    Canvas().Brush().SetStyle(bsClear);
    Canvas().FillRect({0, 0, 593, 193});
    EXPECT_EQ(Pixels().At(100, 100), 0x000000u);
}

TEST_F(CanvasTest, SettingAColourMakesAClearBrushSolid)
{
    Canvas().Brush().SetStyle(bsClear);
    Canvas().Brush().SetColor(0xFF0000);  // blue, as 0x00BBGGRR
    EXPECT_EQ(Canvas().Brush().Style(), bsSolid);
    Canvas().FillRect({0, 0, 10, 10});
    EXPECT_EQ(Pixels().At(5, 5), 0x0000FFu);  // blue, as 0x00RRGGBB
}

TEST_F(CanvasTest, TextOnASolidBrushFillsItsCellWithTheBrushColour)
{
    Canvas().Brush().SetColor(clBlack);
    Canvas().Font().SetHeight(16);
    Canvas().Font().SetColor(clWhite);
    Canvas().TextOut(10, 10, "テキスト");
    const RECT cell = TextCell(Canvas(), 10, 10, "テキスト");
    const TPixels pixels = Pixels();
    int white = 0;
    for (int y = cell.top; y < cell.bottom; ++y) {
        for (int x = cell.left; x < cell.right; ++x) white += pixels.At(x, y) == 0xFFFFFF ? 1 : 0;
    }
    // The text itself is white: the rest of the cell must be the brush's black.
    EXPECT_GT(white, 0);
    EXPECT_LT(white, (cell.right - cell.left) * (cell.bottom - cell.top) / 2);
}

TEST_F(CanvasTest, TheDefaultFontWritesJapaneseInACellOf16Pixels)
{
    Canvas().Font().SetHeight(16);
    const HGDIOBJ previous = SelectObject(Canvas().Handle(), Canvas().Font().Handle());
    TEXTMETRICW metrics{};
    GetTextMetricsW(Canvas().Handle(), &metrics);
    const std::wstring title = ToWide(kProductTitle);
    std::vector<WORD> glyphs(title.size());
    GetGlyphIndicesW(Canvas().Handle(), title.data(), int(title.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(Canvas().Handle(), previous);

    EXPECT_EQ(metrics.tmHeight, 16);
    EXPECT_EQ(metrics.tmCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(std::count(glyphs.begin(), glyphs.end(), WORD(0xFFFF)), 0)
        << "a glyph of ミルカナード is missing";
}

TEST_F(CanvasTest, DrawingInvalidatesTheImagesWindow)
{
    form_->Show();
    UpdateWindow(form_->Handle());
    RECT dirty{};
    ASSERT_FALSE(GetUpdateRect(Picture().Handle(), &dirty, FALSE));
    Canvas().FillRect({0, 0, 1, 1});
    EXPECT_TRUE(GetUpdateRect(Picture().Handle(), &dirty, FALSE));
}

class BannerTest : public CanvasTest {
protected:
    void SetUp() override
    {
        CanvasTest::SetUp();
        PaintBanner(Picture());
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
    PaintBanner(Picture());
    EXPECT_TRUE(Pixels().rgb == pixels_.rgb);
}

TEST_F(BannerTest, ShowsUnscaledInItsPlaceWithNothingDrawnOutsideIt)
{
    // Text that runs past the right edge is cut off there.
    Canvas().TextOut(560, 170, "はみ出すテキスト");
    const TPixels picture = Pixels();
    form_->Show();
    UpdateWindow(form_->Handle());

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
