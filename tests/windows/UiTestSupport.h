// What the class library's window tests share: a form described by a test
// description, a watcher that answers message boxes and tells what they showed,
// and a way to run what may happen only once in a process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Forms.h"

// The form of the description TTESTFORM (tests/windows/forms/TestForm.dfm). Its
// handlers count their calls and then run what the test asked for in
// TTestForm::Script, which the test sets before it makes the form.
class TTestForm : public TForm {
public:
    TImage* Picture = nullptr;
    TButton* Later = nullptr;
    TButton* Sooner = nullptr;

    explicit TTestForm(TComponent* owner);

    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void SoonerClick(TObject* sender);
    void LaterClick(TObject* sender);

    int creates = 0;
    int shows = 0;
    int soonerClicks = 0;
    int laterClicks = 0;
    // What the creation handler found: the fields were filled before it ran.
    bool fieldsFilledAtCreate = false;
    // Whether the window was visible while the show handler ran.
    bool visibleAtShow = true;

    struct TScript {
        std::function<void(TTestForm&)> create;
        std::function<void(TTestForm&)> show;
        std::function<void(TTestForm&)> soonerClick;
    };
    static TScript Script;

private:
    static const TFormClass kClass;
};

// A message box as it was shown.
struct TShownBox {
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
    RECT bounds{};
    // The captions of its visible buttons.
    std::vector<std::wstring> buttons;
    HICON icon = nullptr;
};

// While it lives, every message box the thread shows is recorded and answered
// with OK at once. inspect, when set, runs while each box is up.
class TMessageBoxWatcher {
public:
    explicit TMessageBoxWatcher(std::function<void(HWND box)> inspect = nullptr);
    TMessageBoxWatcher(const TMessageBoxWatcher&) = delete;
    TMessageBoxWatcher& operator=(const TMessageBoxWatcher&) = delete;
    ~TMessageBoxWatcher();

    const std::vector<TShownBox>& Boxes() const { return boxes_; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK AnswerBox(HWND window, LPARAM self);

    std::function<void(HWND)> inspect_;
    std::vector<TShownBox> boxes_;
    std::vector<HWND> answered_;
    UINT_PTR timer_;
};

// Checks for a body that runs in a child process, where GoogleTest's own
// assertions are not reported: each failed check is written to stderr, which
// GoogleTest shows when the child's exit code says that it failed.
class TChildChecks {
public:
    void Expect(bool condition, const char* what);
    // Ends the child process: exit code 0 when every check held, 1 otherwise.
    [[noreturn]] void Exit() const;

private:
    bool failed_ = false;
};

// One of the system's icons, such as IDI_ERROR.
inline HICON SystemIcon(LPCSTR id)
{
    return LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(id));
}

// The window's text, as the system holds it.
std::wstring WindowText(HWND window);

// Pixels of a drawing context as 0x00RRGGBB values, a row at a time.
struct TPixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> rgb;

    DWORD At(int x, int y) const { return rgb[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};
// Copies width × height pixels from (x, y) of dc.
TPixels Capture(HDC dc, int x, int y, int width, int height);

// What the display shows of a window's client area, taken from its window surface.
TPixels CaptureClient(HWND window);

// The cell that a text takes when written with the canvas's font at (x, y).
RECT TextCell(TCanvas& canvas, int x, int y, const std::string& text);

inline bool Inside(const RECT& rect, int x, int y)
{
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

inline int Red(DWORD rgb)
{
    return int((rgb >> 16) & 0xFF);
}
inline int Green(DWORD rgb)
{
    return int((rgb >> 8) & 0xFF);
}
inline int Blue(DWORD rgb)
{
    return int(rgb & 0xFF);
}
