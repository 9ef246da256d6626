// Colours, brushes, fonts and the canvas that draws into a picture.
#pragma once

#include <windows.h>
// The canvas's TextOut below takes our text; the ANSI/wide macro of the same name
// would rename it.
#undef TextOut

#include <cstdint>
#include <functional>
#include <string>

#include "Handle.h"

// The GDI objects the canvas and the windows own.
using UniqueBitmap = UniqueHandle<HBITMAP, &::DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, &::DeleteObject>;
using UniqueFont = UniqueHandle<HFONT, &::DeleteObject>;
// A memory drawing context from CreateCompatibleDC.
using UniqueMemoryDc = UniqueHandle<HDC, &::DeleteDC>;

// A colour: 0x00BBGGRR (red in the low byte), or a system colour: clSystemColor
// with the COLOR_ index of GetSysColor in the low byte.
using TColor = std::uint32_t;

constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;

// The RGB value that GDI takes for a colour, system colours looked up now.
COLORREF ColorToRGB(TColor color);

// Raises EOutOfResources with the system's text for the last error, or
// "システム リソースが足りません" when there is none.
[[noreturn]] void RaiseOutOfResources();

enum TBrushStyle { bsSolid, bsClear };

// How areas are filled. Starts solid white.
class TBrush {
public:
    TColor Color() const { return color_; }
    // Also makes a clear brush solid again.
    void SetColor(TColor color);

    TBrushStyle Style() const { return style_; }
    // bsClear also sets the colour to white: it shows again once the brush is solid.
    void SetStyle(TBrushStyle style);

    // The GDI brush; none for a clear brush.
    HBRUSH Handle();

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    UniqueBrush handle_;
};

// How text is written: face, character set, height and colour, regular style.
//
// The face is "ＭＳ Ｐゴシック" with SHIFTJIS_CHARSET on every system, not only on a
// Japanese one: the program's texts are Japanese, and the font mapper gives the
// character set precedence over the face, so where that face is missing another
// one that has the Japanese glyphs is taken (IPAGothic under Wine).
class TFont {
public:
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);

    BYTE Charset() const { return charset_; }
    void SetCharset(BYTE charset);

    // Positive: the character cell's height in pixels, internal leading included.
    // Negative: the character's own height, internal leading excluded.
    int Height() const { return height_; }
    void SetHeight(int height);

    TColor Color() const { return color_; }
    void SetColor(TColor color) { color_ = color; }

    // The GDI font, made when first asked for after a change.
    HFONT Handle();

private:
    std::string name_ = "ＭＳ Ｐゴシック";
    BYTE charset_ = SHIFTJIS_CHARSET;
    int height_ = -12;
    TColor color_ = clWindowText;
    UniqueFont handle_;
};

// The drawing surface of a picture: a white 32-bit bitmap of a fixed size, 8 bits
// to each colour channel, and the brush and font that draw on it. Everything
// drawn is clipped to the bitmap. After each drawing call the canvas tells its
// owner through onChange, so that the picture can be shown anew.
class TCanvas {
public:
    TCanvas(int width, int height, std::function<void()> onChange);
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TBrush& Brush() { return brush_; }
    TFont& Font() { return font_; }

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Fills rect with the brush: left and top edges included, right and bottom
    // edges excluded. A clear brush fills nothing.
    void FillRect(const RECT& rect);
    // Writes text with the top-left corner of its first character cell at (x, y),
    // in the font's colour, on the brush's colour or, with a clear brush, on what
    // is already there.
    void TextOut(int x, int y, const std::string& text);

    // The memory drawing context that holds the bitmap.
    HDC Handle() const { return dc_.get(); }

private:
    void Changed();

    TBrush brush_;
    TFont font_;
    int width_;
    int height_;
    std::function<void()> onChange_;
    UniqueBitmap bitmap_;
    // Declared after the bitmap so that it goes first, giving up the bitmap it holds.
    UniqueMemoryDc dc_;
};
