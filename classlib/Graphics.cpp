#include "Graphics.h"

#include "SysUtils.h"
#include "Text.h"

namespace {

// Puts a GDI object into a drawing context for one call and the previous one
// back afterwards, so that the object may be deleted or replaced later.
class TSelection {
public:
    TSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;
    ~TSelection() { SelectObject(dc_, previous_); }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace

COLORREF ColorToRGB(TColor color)
{
    if (color & clSystemColor) return GetSysColor(int(color & 0xFF));
    return color;
}

void RaiseOutOfResources()
{
    const DWORD error = GetLastError();
    std::string message = "システム リソースが足りません";
    if (error != 0) {
        wchar_t* text = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        const UniqueHandle<HLOCAL, &::LocalFree> owned(text);
        std::wstring wide(text != nullptr ? text : L"", length);
        // The system's texts end with a line break.
        while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
        if (!wide.empty()) message = FromWide(wide);
    }
    throw EOutOfResources(message);
}

void TBrush::SetColor(TColor color)
{
    color_ = color;
    style_ = bsSolid;
    handle_.reset();
}

void TBrush::SetStyle(TBrushStyle style)
{
    style_ = style;
    if (style == bsClear) color_ = clWhite;
    handle_.reset();
}

HBRUSH TBrush::Handle()
{
    if (style_ == bsClear) return nullptr;
    if (!handle_) {
        handle_.reset(CreateSolidBrush(ColorToRGB(color_)));
        if (!handle_) RaiseOutOfResources();
    }
    return handle_.get();
}

void TFont::SetName(const std::string& name)
{
    name_ = name;
    handle_.reset();
}

void TFont::SetCharset(BYTE charset)
{
    charset_ = charset;
    handle_.reset();
}

void TFont::SetHeight(int height)
{
    height_ = height;
    handle_.reset();
}

HFONT TFont::Handle()
{
    if (!handle_) {
        LOGFONTW font{};
        font.lfHeight = height_;
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = charset_;
        font.lfOutPrecision = OUT_DEFAULT_PRECIS;
        font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        font.lfQuality = DEFAULT_QUALITY;
        font.lfPitchAndFamily = DEFAULT_PITCH;
        const std::wstring face = ToWide(name_).substr(0, LF_FACESIZE - 1);
        face.copy(font.lfFaceName, face.size());
        handle_.reset(CreateFontIndirectW(&font));
        if (!handle_) RaiseOutOfResources();
    }
    return handle_.get();
}

TCanvas::TCanvas(int width, int height, std::function<void()> onChange)
    : width_(width), height_(height), onChange_(std::move(onChange))
{
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;  // top-down: row 0 first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_) RaiseOutOfResources();
    dc_.reset(CreateCompatibleDC(nullptr));
    if (!dc_) RaiseOutOfResources();
    // The context keeps the bitmap selected for its whole life.
    SelectObject(dc_.get(), bitmap_.get());
    PatBlt(dc_.get(), 0, 0, width, height, WHITENESS);
}

void TCanvas::FillRect(const RECT& rect)
{
    if (const HBRUSH brush = brush_.Handle()) ::FillRect(dc_.get(), &rect, brush);
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    const std::wstring wide = ToWide(text);
    const TSelection font(dc_.get(), font_.Handle());
    SetTextColor(dc_.get(), ColorToRGB(font_.Color()));
    if (brush_.Style() == bsClear) {
        SetBkMode(dc_.get(), TRANSPARENT);
    } else {
        SetBkMode(dc_.get(), OPAQUE);
        SetBkColor(dc_.get(), ColorToRGB(brush_.Color()));
    }
    TextOutW(dc_.get(), x, y, wide.data(), int(wide.size()));
    Changed();
}

void TCanvas::Changed()
{
    if (onChange_) onChange_();
}
