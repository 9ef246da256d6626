#include "Forms.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "Text.h"

namespace {

const wchar_t kFormClass[] = L"TForm";
const wchar_t kApplicationClass[] = L"TApplication";

// How far one click on a scroll bar's arrow scrolls, in pixels.
constexpr int kScrollLine = 8;

TApplication theApplication;
TScreen theScreen;

// The number of bytes of the character that starts at text[i].
std::size_t CharLength(const std::string& text, std::size_t i)
{
    return IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
}

// Disables the thread's visible, enabled top-level windows but one, and enables
// them again when it goes.
class TDisabledWindows {
public:
    explicit TDisabledWindows(HWND spared) : spared_(spared)
    {
        EnumThreadWindows(GetCurrentThreadId(), &TDisabledWindows::Disable, reinterpret_cast<LPARAM>(this));
    }
    TDisabledWindows(const TDisabledWindows&) = delete;
    TDisabledWindows& operator=(const TDisabledWindows&) = delete;
    ~TDisabledWindows()
    {
        for (const HWND window : windows_) EnableWindow(window, TRUE);
    }

private:
    static BOOL CALLBACK Disable(HWND window, LPARAM self)
    {
        auto* disabled = reinterpret_cast<TDisabledWindows*>(self);
        if (window == disabled->spared_ || !IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
        // Only a window on the list is disabled, so that each one is enabled again.
        try {
            disabled->windows_.push_back(window);
        } catch (...) {
            return FALSE;
        }
        EnableWindow(window, FALSE);
        return TRUE;
    }

    HWND spared_;
    std::vector<HWND> windows_;
};

// Sets one scroll bar for content of the given extent seen through a page of the
// given size; the system hides the bar when the page holds it all.
void SetScrollBar(HWND window, int bar, int extent, int page)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = std::max(extent - 1, 0);
    info.nPage = UINT(std::max(page, 0));
    SetScrollInfo(window, bar, &info, TRUE);
}

int ScrollPos(HWND window, int bar)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    GetScrollInfo(window, bar, &info);
    return info.nPos;
}

// The show commands that leave a window minimised.
bool Minimises(int showCommand)
{
    return showCommand == SW_SHOWMINIMIZED || showCommand == SW_MINIMIZE ||
           showCommand == SW_SHOWMINNOACTIVE || showCommand == SW_FORCEMINIMIZE;
}

// How the process was asked to show its first window.
int StartupShowCommand()
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL;
}

}  // namespace

TApplication* Application = &theApplication;
TScreen* Screen = &theScreen;

std::string ExceptionBoxText(const std::string& message)
{
    if (message.empty()) return message;
    std::size_t last = 0;
    for (std::size_t i = 0; i < message.size(); i += CharLength(message, i)) last = i;
    // std::string compares its bytes as unsigned char.
    return message.compare(last, std::string::npos, ".") > 0 ? message + "." : message;
}

std::string TitleFromFileName(const std::string& fileName)
{
    // The name begins after the last separator: a backslash, a slash, or the colon
    // after a drive letter. The walk goes character by character, since the
    // second byte of a double-byte character may be 0x5C.
    std::size_t start = 0;
    for (std::size_t i = 0; i < fileName.size(); i += CharLength(fileName, i)) {
        const char c = fileName[i];
        if (c == '\\' || c == '/' || c == ':') start = i + 1;
    }
    std::string title = fileName.substr(start);
    for (std::size_t i = 0; i < title.size(); i += CharLength(title, i)) {
        if (title[i] == '.') {
            title.resize(i);
            break;
        }
    }
    if (title.empty()) return title;

    // Lowering goes through UTF-16, whole characters at a time, so that the second
    // byte of a double-byte character is never taken for a letter; full-width
    // letters are lowered like others.
    const std::size_t first = std::min(CharLength(title, 0), title.size());
    std::wstring rest = ToWide(title.substr(first));
    if (!rest.empty()) CharLowerBuffW(rest.data(), DWORD(rest.size()));
    return title.substr(0, first) + FromWide(rest);
}

int CentredPosition(int available, int size)
{
    return (available - size) / 2;
}

int TScreen::Width() const
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::Height() const
{
    return GetSystemMetrics(SM_CYSCREEN);
}

// TForm

TForm::TForm(TComponent* owner) : TControl(owner, nullptr) {}

TForm::~TForm()
{
    // The controls' windows go before the form's, which would take them along.
    DestroyComponents();
    if (Application->mainForm_ == this) Application->mainForm_ = nullptr;
}

void TForm::SetCaption(const std::string& caption)
{
    caption_ = caption;
    if (handle_) SetWindowTextW(handle_.get(), ToWide(caption_).c_str());
}

void TForm::SetColor(TColor color)
{
    color_ = color;
    if (handle_) InvalidateRect(handle_.get(), nullptr, TRUE);
}

void TForm::Show(int showCommand)
{
    const HWND window = Handle();
    if (!IsWindowVisible(window)) {
        if (Minimises(showCommand)) {
            showPending_ = true;
        } else {
            RunOnShow();
        }
    }
    ShowWindow(window, showCommand);
}

void TForm::Close()
{
    if (Application->MainForm() == this) {
        Application->Terminate();
    } else if (handle_) {
        ShowWindow(handle_.get(), SW_HIDE);
    }
}

void TForm::InitForm(const TFormClass& formClass)
{
    ReadForm(*this, formClass);
    if (!OnCreate) return;
    try {
        OnCreate(this);
    } catch (...) {
        Application->HandleException(this);
    }
}

void TForm::RunOnShow()
{
    if (!OnShow) return;
    try {
        OnShow(this);
    } catch (...) {
        Application->HandleException(this);
    }
}

void TForm::CreateHandle()
{
    handle_.reset(CreateWindowHandle(nullptr, 0));
    if (!handle_) RaiseOutOfResources();
    for (TControl* control : controls_) {
        if (!control->handle_) CreateControlWindow(*control);
    }
    // Tab follows the order of the windows from the top: the controls that have a
    // tab order go to the bottom, one after the other in that order.
    std::vector<TControl*> ordered;
    for (TControl* control : controls_) {
        if (control->TabOrder() >= 0) ordered.push_back(control);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TControl* a, const TControl* b) { return a->TabOrder() < b->TabOrder(); });
    for (TControl* control : ordered) {
        SetWindowPos(control->handle_.get(), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    UpdateScrollBars(handle_.get());
}

ATOM TForm::WindowClass()
{
    static const ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &TForm::WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        // No icon of its own: the application's.
        windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = kFormClass;
        return RegisterClassExW(&windowClass);
    }();
    return atom;
}

HWND TForm::CreateWindowHandle(HWND, int)
{
    if (WindowClass() == 0) RaiseOutOfResources();
    return CreateWindowExW(0, kFormClass, ToWide(caption_).c_str(), WS_OVERLAPPEDWINDOW, left_, top_, width_,
                           height_, nullptr, nullptr, GetModuleHandleW(nullptr), this);
}

void TForm::ReadProperty(TReader& reader, const std::string& name)
{
    if (name == "Caption") {
        SetCaption(reader.ReadString());
    } else if (name == "Color") {
        SetColor(reader.ReadColor());
    } else if (name == "Font.Charset") {
        font_.SetCharset(reader.ReadCharset());
    } else if (name == "Font.Color") {
        font_.SetColor(reader.ReadColor());
    } else if (name == "Font.Height") {
        font_.SetHeight(reader.ReadInteger());
    } else if (name == "Font.Name") {
        font_.SetName(reader.ReadString());
    } else if (name == "Font.Style") {
        // Regular: no other style is offered.
        reader.ReadEmptySet();
    } else if (name == "OldCreateOrder") {
        // OnCreate always runs inside construction, right after the description.
        if (!reader.ReadBoolean()) reader.Error("OldCreateOrder = False には対応していません");
    } else if (name == "Scaled") {
        // Nothing is ever rescaled for the display's pixel density.
        if (reader.ReadBoolean()) reader.Error("Scaled = True には対応していません");
    } else if (name == "PixelsPerInch" || name == "TextHeight") {
        // Design-time metrics: without scaling they change nothing.
        reader.ReadInteger();
    } else if (name == "OnCreate") {
        OnCreate = reader.ReadMethod();
    } else if (name == "OnShow") {
        OnShow = reader.ReadMethod();
    } else {
        TControl::ReadProperty(reader, name);
    }
}

LRESULT CALLBACK TForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    // No C++ exception may unwind through the system's code that called us.
    try {
        return form->HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        Application->HandleException(form);
        return 0;
    }
}

LRESULT TForm::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_COMMAND:
            OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_ERASEBKGND:
            return OnEraseBackground(window, reinterpret_cast<HDC>(wParam));
        case WM_SIZE:
            OnSize(window, UINT(wParam));
            return 0;
        case WM_HSCROLL:
            OnScroll(window, SB_HORZ, LOWORD(wParam));
            return 0;
        case WM_VSCROLL:
            OnScroll(window, SB_VERT, LOWORD(wParam));
            return 0;
        case WM_ACTIVATE:
            OnActivate(window, LOWORD(wParam), HIWORD(wParam) != 0);
            return 0;
        case WM_NEXTDLGCTL:
            OnNextDialogControl(window, wParam, lParam);
            return 0;
        case DM_GETDEFID:
            return OnGetDefaultId(window);
        case WM_WINDOWPOSCHANGED:
            OnWindowPosChanged(window);
            break;  // the default handling sends WM_SIZE and WM_MOVE
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void TForm::OnCommand(HWND control, WORD notification)
{
    if (control == nullptr) return;
    for (TControl* each : controls_) {
        if (each->handle_.get() == control) {
            each->Command(notification);
            return;
        }
    }
}

bool TForm::OnEraseBackground(HWND window, HDC dc)
{
    const UniqueBrush brush(CreateSolidBrush(ColorToRGB(color_)));
    if (!brush) return false;
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, brush.get());
    return true;
}

void TForm::OnSize(HWND window, UINT state)
{
    if (state == SIZE_MINIMIZED) return;
    UpdateScrollBars(window);
    if (showPending_) {
        showPending_ = false;
        RunOnShow();
    }
}

void TForm::OnScroll(HWND window, int bar, WORD request)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(window, bar, &info);
    int position = info.nPos;
    switch (request) {
        case SB_LINEUP:  // also SB_LINELEFT
            position -= kScrollLine;
            break;
        case SB_LINEDOWN:
            position += kScrollLine;
            break;
        case SB_PAGEUP:
            position -= int(info.nPage);
            break;
        case SB_PAGEDOWN:
            position += int(info.nPage);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            position = info.nTrackPos;
            break;
        case SB_TOP:
            position = info.nMin;
            break;
        case SB_BOTTOM:
            position = info.nMax;
            break;
        default:
            return;
    }
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(window, bar, &info, TRUE);  // keeps the position within the range
    ScrollTo(window, ScrollPos(window, SB_HORZ), ScrollPos(window, SB_VERT));
}

void TForm::OnActivate(HWND window, WORD state, bool minimized)
{
    if (state == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) focused_ = focus;
        return;
    }
    if (minimized) return;
    HWND target = focused_;
    if (target == nullptr || !IsChild(window, target) || !IsWindowEnabled(target)) {
        target = GetNextDlgTabItem(window, nullptr, FALSE);
    }
    SetFocus(target != nullptr ? target : window);
}

void TForm::OnNextDialogControl(HWND window, WPARAM wParam, LPARAM lParam)
{
    // Sent by IsDialogMessage for Tab and Shift+Tab (wParam non-zero: backwards),
    // or with a window to focus when LOWORD(lParam) is set.
    HWND target = nullptr;
    if (LOWORD(lParam)) {
        target = reinterpret_cast<HWND>(wParam);
    } else {
        const HWND focus = GetFocus();
        target = GetNextDlgTabItem(window, IsChild(window, focus) ? focus : nullptr, wParam != 0);
    }
    if (target != nullptr) SetFocus(target);
}

LRESULT TForm::OnGetDefaultId(HWND window)
{
    // IsDialogMessage asks which button Enter clicks: the focused button, as on a
    // dialog whose focused push button is its default one.
    const HWND focus = GetFocus();
    if (focus == nullptr || !IsChild(window, focus)) return 0;
    const LRESULT code = SendMessageW(focus, WM_GETDLGCODE, 0, 0);
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) return 0;
    return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
}

void TForm::OnWindowPosChanged(HWND window)
{
    // The bounds follow the window when the user moves or sizes it.
    if (IsIconic(window)) return;
    RECT bounds;
    GetWindowRect(window, &bounds);
    left_ = bounds.left;
    top_ = bounds.top;
    width_ = bounds.right - bounds.left;
    height_ = bounds.bottom - bounds.top;
}

void TForm::AddControl(TControl* control)
{
    controls_.push_back(control);
}

void TForm::RemoveControl(TControl* control)
{
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void TForm::CreateControlWindow(TControl& control)
{
    control.handle_.reset(control.CreateWindowHandle(handle_.get(), nextControlId_++));
    if (!control.handle_) RaiseOutOfResources();
    SendMessageW(control.handle_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
}

void TForm::FocusNextControl(HWND control)
{
    const HWND window = handle_.get();
    const HWND next = GetNextDlgTabItem(window, control, FALSE);
    SetFocus(next != nullptr && next != control ? next : window);
}

void TForm::UpdateScrollBars(HWND window)
{
    // Showing a bar sends WM_SIZE, which comes back here.
    if (updatingScrollBars_) return;
    updatingScrollBars_ = true;
    SIZE extent{0, 0};
    for (const TControl* control : controls_) {
        extent.cx = std::max(extent.cx, LONG(control->Left() + control->Width()));
        extent.cy = std::max(extent.cy, LONG(control->Top() + control->Height()));
    }
    // Showing one bar takes room from the client area, which can make the other
    // one needed: the second pass settles that.
    for (int pass = 0; pass < 2; ++pass) {
        RECT client;
        GetClientRect(window, &client);
        SetScrollBar(window, SB_HORZ, extent.cx, client.right);
        SetScrollBar(window, SB_VERT, extent.cy, client.bottom);
    }
    updatingScrollBars_ = false;
    ScrollTo(window, ScrollPos(window, SB_HORZ), ScrollPos(window, SB_VERT));
}

void TForm::ScrollTo(HWND window, int x, int y)
{
    if (x == scroll_.x && y == scroll_.y) return;
    scroll_ = {x, y};
    for (TControl* control : controls_) control->UpdateBounds();
    InvalidateRect(window, nullptr, TRUE);
}

// TApplication

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication()
{
    // The forms go while the hidden window, their message boxes' owner, is still there.
    DestroyComponents();
}

void TApplication::Initialize()
{
    Handle();
}

void TApplication::FormCreated(TForm* form)
{
    if (mainForm_ != nullptr) return;
    mainForm_ = form;
    form->Handle();
}

void TApplication::Run()
{
    if (mainForm_ != nullptr) mainForm_->Show(StartupShowCommand());
    while (!terminated_) {
        MSG message;
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
            terminated_ = true;
        } else {
            Dispatch(message);
        }
    }
}

void TApplication::ProcessMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            terminated_ = true;
        } else {
            Dispatch(message);
        }
    }
}

void TApplication::Dispatch(MSG& message)
{
    // The keys that move between and press the controls of a form: Tab, Enter,
    // Space, the arrows.
    const HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && GetClassLongPtrW(root, GCW_ATOM) == TForm::WindowClass() &&
        IsDialogMessageW(root, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags)
{
    const std::wstring wideText = ToWide(text);
    const std::wstring wideCaption = ToWide(caption);
    const HWND owner = Handle();
    const HWND active = GetActiveWindow();
    const HWND focus = GetFocus();
    int result = 0;
    {
        const TDisabledWindows disabled(owner);
        result = MessageBoxW(owner, wideText.c_str(), wideCaption.c_str(), flags);
    }
    if (active != nullptr && IsWindow(active)) SetActiveWindow(active);
    if (focus != nullptr && IsWindow(focus)) SetFocus(focus);
    return result;
}

void TApplication::HandleException(TObject*)
{
    const std::exception_ptr current = std::current_exception();
    if (!current) return;
    try {
        try {
            std::rethrow_exception(current);
        } catch (const Exception& exception) {
            ShowException(exception);
        } catch (...) {
            char code[16];
            std::snprintf(code, sizeof(code), "%lX", static_cast<unsigned long>(kCppExceptionCode));
            ShowException(EExternalException(Format("外部例外 %s", code)));
        }
    } catch (...) {
        // Not even the box could be shown; the loop goes on all the same.
    }
}

void TApplication::ShowException(const Exception& exception)
{
    MessageBox(ExceptionBoxText(exception.Message()), Title(), MB_OK | MB_ICONERROR);
}

std::string TApplication::Title() const
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return TitleFromFileName(FromWide(path));
}

HWND TApplication::Handle()
{
    if (!handle_) {
        static const ATOM registered = [] {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof(windowClass);
            windowClass.lpfnWndProc = &DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = kApplicationClass;
            return RegisterClassExW(&windowClass);
        }();
        if (registered == 0) RaiseOutOfResources();
        handle_.reset(CreateWindowExW(0, kApplicationClass, ToWide(Title()).c_str(), WS_POPUP, 0, 0, 0, 0,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
        if (!handle_) RaiseOutOfResources();
    }
    return handle_.get();
}
