#include "UiTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "Graphics.h"
#include "Text.h"

namespace {

TMessageBoxWatcher* watching = nullptr;

// The window's drawing context from GetDC, given back with ReleaseDC.
class TWindowDc {
public:
    explicit TWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    TWindowDc(const TWindowDc&) = delete;
    TWindowDc& operator=(const TWindowDc&) = delete;
    ~TWindowDc() { ReleaseDC(window_, dc_); }

    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

std::wstring ClassName(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

BOOL CALLBACK RecordControl(HWND control, LPARAM box)
{
    auto& shown = *reinterpret_cast<TShownBox*>(box);
    const std::wstring className = ClassName(control);
    if (_wcsicmp(className.c_str(), L"Button") == 0 && IsWindowVisible(control)) {
        shown.buttons.push_back(WindowText(control));
    } else if (_wcsicmp(className.c_str(), L"Static") == 0) {
        const auto icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
        if (icon != nullptr) shown.icon = icon;
    }
    return TRUE;
}

}  // namespace

TTestForm::TScript TTestForm::Script;

const TFormClass TTestForm::kClass = {
    "TTestForm",
    {
        PublishedField<&TTestForm::Picture>("Picture"),
        PublishedField<&TTestForm::Later>("Later"),
        PublishedField<&TTestForm::Sooner>("Sooner"),
    },
    {
        PublishedMethod<&TTestForm::FormCreate>("FormCreate"),
        PublishedMethod<&TTestForm::FormShow>("FormShow"),
        PublishedMethod<&TTestForm::SoonerClick>("SoonerClick"),
        PublishedMethod<&TTestForm::LaterClick>("LaterClick"),
    },
};

TTestForm::TTestForm(TComponent* owner) : TForm(owner)
{
    InitForm(kClass);
}

void TTestForm::FormCreate(TObject*)
{
    ++creates;
    fieldsFilledAtCreate = Picture != nullptr && Later != nullptr && Sooner != nullptr;
    if (Script.create) Script.create(*this);
}

void TTestForm::FormShow(TObject*)
{
    ++shows;
    visibleAtShow = IsWindowVisible(Handle()) != FALSE;
    if (Script.show) Script.show(*this);
}

void TTestForm::SoonerClick(TObject*)
{
    ++soonerClicks;
    if (Script.soonerClick) Script.soonerClick(*this);
}

void TTestForm::LaterClick(TObject*)
{
    ++laterClicks;
}

TMessageBoxWatcher::TMessageBoxWatcher(std::function<void(HWND box)> inspect)
    : inspect_(std::move(inspect)), timer_(SetTimer(nullptr, 0, 20, &TMessageBoxWatcher::OnTimer))
{
    watching = this;
}

TMessageBoxWatcher::~TMessageBoxWatcher()
{
    KillTimer(nullptr, timer_);
    watching = nullptr;
}

void CALLBACK TMessageBoxWatcher::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (watching != nullptr) {
        EnumThreadWindows(GetCurrentThreadId(), &TMessageBoxWatcher::AnswerBox,
                          reinterpret_cast<LPARAM>(watching));
    }
}

BOOL CALLBACK TMessageBoxWatcher::AnswerBox(HWND window, LPARAM self)
{
    auto& watcher = *reinterpret_cast<TMessageBoxWatcher*>(self);
    if (ClassName(window) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    if (std::find(watcher.answered_.begin(), watcher.answered_.end(), window) != watcher.answered_.end()) {
        return TRUE;
    }
    watcher.answered_.push_back(window);

    TShownBox shown;
    shown.caption = WindowText(window);
    // A message box's text is the static control 0xFFFF.
    shown.text = WindowText(GetDlgItem(window, 0xFFFF));
    shown.owner = GetWindow(window, GW_OWNER);
    GetWindowRect(window, &shown.bounds);
    EnumChildWindows(window, &RecordControl, reinterpret_cast<LPARAM>(&shown));
    watcher.boxes_.push_back(shown);

    if (watcher.inspect_) watcher.inspect_(window);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    return TRUE;
}

void TChildChecks::Expect(bool condition, const char* what)
{
    if (condition) return;
    failed_ = true;
    std::fprintf(stderr, "failed: %s\n", what);
    std::fflush(stderr);
}

void TChildChecks::Exit() const
{
    std::exit(failed_ ? 1 : 0);
}

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(std::size_t(length) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

TPixels Capture(HDC dc, int x, int y, int width, int height)
{
    TPixels pixels;
    pixels.width = width;
    pixels.height = height;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueBitmap bitmap(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    const UniqueMemoryDc copy(CreateCompatibleDC(nullptr));
    if (!bitmap || !copy) return pixels;
    const HGDIOBJ previous = SelectObject(copy.get(), bitmap.get());
    BitBlt(copy.get(), 0, 0, width, height, dc, x, y, SRCCOPY);
    SelectObject(copy.get(), previous);
    GdiFlush();
    const auto* values = static_cast<const DWORD*>(bits);
    pixels.rgb.reserve(std::size_t(width) * std::size_t(height));
    for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
        pixels.rgb.push_back(values[i] & 0xFFFFFF);
    }
    return pixels;
}

TPixels CaptureClient(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    const TWindowDc dc(window);
    return Capture(dc.Get(), 0, 0, client.right, client.bottom);
}

RECT TextCell(TCanvas& canvas, int x, int y, const std::string& text)
{
    const std::wstring wide = ToWide(text);
    const HGDIOBJ previous = SelectObject(canvas.Handle(), canvas.Font().Handle());
    SIZE extent{};
    GetTextExtentPoint32W(canvas.Handle(), wide.data(), int(wide.size()), &extent);
    SelectObject(canvas.Handle(), previous);
    return {x, y, x + extent.cx, y + extent.cy};
}
