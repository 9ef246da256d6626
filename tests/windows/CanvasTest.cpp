// The picture and its canvas: what each drawing call leaves in the picture.
#include <windows.h>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "Forms.h"
#include "Text.h"
#include "UiTestSupport.h"

namespace {

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
    const std::wstring title = ToWide("ミルカナード");
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

}  // namespace
