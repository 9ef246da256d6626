#include "Dialogs.h"

#include <windows.h>

#include <string_view>

#include "Forms.h"
#include "Handle.h"

namespace {

using UniqueHook = UniqueHandle<HHOOK, &::UnhookWindowsHookEx>;

// The message box already centred, so that it is left where the user moves it.
HWND centredBox = nullptr;

// Centres the thread's next message box on the screen as it first becomes active;
// the system would centre it on the work area or on its owner.
LRESULT CALLBACK CentreMessageBox(int code, WPARAM wParam, LPARAM lParam)
{
    const auto window = reinterpret_cast<HWND>(wParam);
    wchar_t className[8] = {};
    if (code == HCBT_ACTIVATE && window != centredBox && GetClassNameW(window, className, 8) != 0 &&
        std::wstring_view(className) == L"#32770") {
        centredBox = window;
        RECT bounds;
        GetWindowRect(window, &bounds);
        SetWindowPos(window, nullptr, CentredPosition(Screen->Width(), bounds.right - bounds.left),
                     CentredPosition(Screen->Height(), bounds.bottom - bounds.top), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int MessageDlg(const std::string& message, TMsgDlgType, std::initializer_list<TMsgDlgBtn>, int)
{
    if (Application->Terminated()) return mrCancel;
    centredBox = nullptr;
    const UniqueHook centring(SetWindowsHookExW(WH_CBT, &CentreMessageBox, nullptr, GetCurrentThreadId()));
    return Application->MessageBox(message, "情報", MB_OK | MB_ICONINFORMATION);
}
