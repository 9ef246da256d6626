#include "Player.h"

#include <stdexcept>
#include <thread>

Player::Player(const std::wstring& program)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_))
        throw std::runtime_error("the updater could not be started");
    WaitForInputIdle(process_.hProcess, 5000);
}

Player::~Player()
{
    if (!WaitForExit(0ms)) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(50ms);
    }
}

std::vector<HWND> Player::Windows() const
{
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{process_.dwProcessId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid == s->pid && IsWindowVisible(window)) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Player::WaitForWindow(const std::wstring& title, std::chrono::milliseconds timeout) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : Windows())
                if (ClassName(w) != L"#32770" && Text(w) == title) found = w;
            return found != nullptr;
        },
        timeout);
    return found;
}

HWND Player::WaitForMessageBox(std::chrono::milliseconds timeout) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : Windows())
                if (ClassName(w) == L"#32770") found = w;
            return found != nullptr;
        },
        timeout);
    return found;
}

std::optional<DWORD> Player::WaitForExit(std::chrono::milliseconds timeout) const
{
    if (WaitForSingleObject(process_.hProcess, DWORD(timeout.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::wstring Text(HWND window)
{
    std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

HWND FindButton(HWND parent, const std::wstring& caption)
{
    return FindWindowExW(parent, nullptr, L"Button", caption.c_str());
}

namespace {
// The control identifier of a system message box's text.
constexpr int kMessageBoxText = 0xFFFF;
}  // namespace

std::wstring MessageBoxText(HWND box)
{
    return Text(GetDlgItem(box, kMessageBoxText));
}

bool MessageBoxHasIcon(HWND box)
{
    // The icon is a visible static control with the icon style; its identifier
    // differs between systems.
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if (ClassName(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
            SendMessageW(child, STM_GETICON, 0, 0) != 0)
            return true;
    }
    return false;
}

COLORREF ScreenPixel(HWND window, int x, int y)
{
    POINT at{x, y};
    ClientToScreen(window, &at);
    // Copied from the screen into a bitmap of our own, as a screenshot takes it.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 1, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, 1, 1, screen, at.x, at.y, SRCCOPY);
    GdiFlush();
    const DWORD bgra = *static_cast<const DWORD*>(bits);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);  // the bitmap holds 0x00RRGGBB
}

void Click(HWND control)
{
    // Through the system's input, as a mouse does: a disabled control gets nothing.
    RECT r{};
    GetWindowRect(control, &r);
    const int x = (r.left + r.right) / 2;
    const int y = (r.top + r.bottom) / 2;
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = LONG(x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
        input.mi.dy = LONG(y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

void PressKey(DWORD threadOf, UINT vk, bool alt)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND target = nullptr;
    WaitUntil([&] {
        if (GetGUIThreadInfo(threadOf, &info)) target = info.hwndFocus ? info.hwndFocus : info.hwndActive;
        return target != nullptr;
    });
    const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | LPARAM(scan) << 16 | (alt ? LPARAM(1) << 29 : 0);
    const LPARAM up = down | LPARAM(1) << 30 | LPARAM(1) << 31;
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, down);
    PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, vk, up);
}

void PressCloseBox(HWND window)
{
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}
