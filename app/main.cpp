// The process entry: one updater at a time, then the application runs the window.
#include <windows.h>

#include "Forms.h"
#include "Unit1.h"

namespace {

// Loads DLLs from the system folder only, so that a DLL planted beside the
// downloaded updater is never loaded. Systems without this function (an
// unpatched Windows 7) keep their default search order.
void RestrictDllSearchToSystemFolder()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

// The guard's mutex; released after the application has run, closed by the system at exit.
HANDLE SetupMutex = nullptr;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearchToSystemFolder();

    // Any error at all, another instance or a mutex that cannot be made, ends the process silently.
    SetupMutex = CreateMutexA(nullptr, TRUE, "RQX_SETUP");
    if (GetLastError() != 0) return 1;

    try {
        Application->Initialize();
        Application->CreateForm(Form1);
        Application->Run();
    } catch (const Exception& e) {
        Application->ShowException(e);
    }
    ReleaseMutex(SetupMutex);
    return 0;
}
