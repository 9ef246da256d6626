// Drives the real updater the way a player does: starts the program, finds its
// windows, reads what they say, presses buttons and keys by sending the window
// the input messages a mouse or keyboard would, and waits, always with a bound,
// for the program to react or end.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

// How long any single step may take before the test fails instead of hanging.
constexpr std::chrono::milliseconds kStepTimeout = 20s;

class Player {
public:
    // Starts the program; it inherits this process's environment, the locale included.
    explicit Player(const std::wstring& program);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    DWORD ProcessId() const { return process_.dwProcessId; }
    // The program's user-interface thread, which owns its windows and keyboard focus.
    DWORD ThreadId() const { return process_.dwThreadId; }

    // The program's top-level visible window whose caption is title, or nullptr on timeout.
    HWND WaitForWindow(const std::wstring& title, std::chrono::milliseconds timeout = kStepTimeout) const;
    // A visible message box (dialog class #32770) of the program, or nullptr on timeout.
    HWND WaitForMessageBox(std::chrono::milliseconds timeout = kStepTimeout) const;
    // Every visible top-level window of the program.
    std::vector<HWND> Windows() const;

    // The exit code once the program has ended, or nothing when it is still running at the timeout.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds timeout = kStepTimeout) const;

private:
    PROCESS_INFORMATION process_{};
};

std::wstring Text(HWND window);
std::wstring ClassName(HWND window);
// The child button whose caption is caption, or nullptr.
HWND FindButton(HWND parent, const std::wstring& caption);
// The text of a message box: its static text control.
std::wstring MessageBoxText(HWND box);
// Whether a message box shows an icon.
bool MessageBoxHasIcon(HWND box);

// The colour the screen shows at a point of a window's client area.
COLORREF ScreenPixel(HWND window, int x, int y);

// A left click in the middle of a control, through the system's mouse input.
void Click(HWND control);
// A key press (down and up) delivered to the window that has the keyboard focus in the
// program's user-interface thread; with alt, as a system key (Alt+F4).
void PressKey(DWORD threadOf, UINT vk, bool alt = false);
// The title bar's close box.
void PressCloseBox(HWND window);

// Waits until condition holds or the timeout passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kStepTimeout);
