// Forms, the application object that runs them, and the screen.
#pragma once

#include <windows.h>
// The application's MessageBox below takes our text; the ANSI/wide macro of the
// same name would rename it.
#undef MessageBox

#include <new>
#include <string>
#include <vector>

#include "Controls.h"
#include "FormLoader.h"
#include "Graphics.h"
#include "SysUtils.h"

// The text of the box that shows an exception: its message, with "." appended
// when the message is not empty and its last character, both bytes of a
// double-byte one, compares greater than "." byte by byte. So "エラー" and "ok"
// get one; "done." and "Stop!" do not.
std::string ExceptionBoxText(const std::string& message);

// The application's title, which captions the exception box: the program file's
// name without its folder, cut at its first ".", every character after the first
// in lower case ("C:\Games\UPDATER.EXE" gives "Updater").
std::string TitleFromFileName(const std::string& fileName);

// Where a window of the given size starts so that it is centred in the room
// available: half the difference, truncated toward zero, so a window larger than
// the room starts before it (600 - 618 gives -9).
int CentredPosition(int available, int size);

// The code the system's C++ runtime raises C++ exceptions with. A C++ exception
// that is no Exception is reported under it, as the system would report it.
constexpr DWORD kCppExceptionCode = 0xE06D7363;

// A top-level window built from its window description. The window has a
// sizeable frame, a system menu, minimise and maximise boxes, and scroll bars
// when it is made smaller than its controls; the controls keep their place when
// it is resized. The keyboard focus starts on the first control in tab order,
// Tab moves it on, and Enter or Space clicks the focused button.
class TForm : public TControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);

    // The client area's background.
    TColor Color() const { return color_; }
    void SetColor(TColor color);

    // Run at the end of construction (see InitForm), and when the window is about
    // to be shown (see Show).
    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;

    // Shows the window, as ShowWindow does with showCommand. OnShow runs first,
    // while the window is still hidden, and an exception from it is shown by the
    // application, the window then being shown all the same. A window shown
    // minimised runs OnShow when it is first restored.
    void Show(int showCommand = SW_SHOWNORMAL);

    // Closes the window. Closing the application's main form ends the
    // application, the window staying on the screen until the application has
    // ended; any other form is hidden. The close box, the system menu and Alt+F4
    // come here too.
    void Close();

protected:
    // For the constructor of a form class: reads the class's window description
    // (see FormLoader.h), then runs OnCreate. An exception from OnCreate is shown
    // by the application and construction goes on; one from reading the
    // description goes to the caller.
    void InitForm(const TFormClass& formClass);

    void CreateHandle() override;
    HWND CreateWindowHandle(HWND parentWindow, int id) override;
    void ReadProperty(TReader& reader, const std::string& name) override;

private:
    // The window class of every form, registered when first asked for; 0 when it cannot be.
    static ATOM WindowClass();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(HWND control, WORD notification);
    bool OnEraseBackground(HWND window, HDC dc);
    void OnSize(HWND window, UINT state);
    void OnScroll(HWND window, int bar, WORD request);
    void OnActivate(HWND window, WORD state, bool minimized);
    void OnNextDialogControl(HWND window, WPARAM wParam, LPARAM lParam);
    LRESULT OnGetDefaultId(HWND window);
    void OnWindowPosChanged(HWND window);

    void RunOnShow();

    // For the controls on the form.
    void AddControl(TControl* control);
    void RemoveControl(TControl* control);
    void CreateControlWindow(TControl& control);
    void FocusNextControl(HWND control);
    POINT ScrollPosition() const { return scroll_; }

    void UpdateScrollBars(HWND window);
    void ScrollTo(HWND window, int x, int y);

    std::string caption_;
    TColor color_ = clBtnFace;
    TFont font_;
    std::vector<TControl*> controls_;
    int nextControlId_ = 100;  // clear of IDOK and IDCANCEL, which dialog keys send
    POINT scroll_{0, 0};
    bool updatingScrollBars_ = false;
    HWND focused_ = nullptr;  // the control that had the focus when the window was last left
    bool showPending_ = false;

    friend class TControl;
    friend class TApplication;
};

// The application: its forms, its hidden main window (the owner of its message
// boxes) and its message loop. The first form created is the main form; closing
// it ends the loop.
class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    // Makes the hidden window.
    void Initialize();

    // Creates a form of class T, owned by the application. reference is set
    // before T's constructor runs, so that the form's creation handler can
    // already use it, and is reset when the constructor raises. The first form
    // created becomes the main form and gets its window at once.
    template <typename T>
    void CreateForm(T*& reference);

    // Shows the main form, as the process was asked to show its first window,
    // and handles messages until the application is terminated.
    void Run();
    // Handles every message waiting, paint requests included, and returns as soon
    // as there is none, without waiting. A quit request found there only marks
    // the application terminated.
    void ProcessMessages();
    // Ends the message loop: posts a quit request.
    void Terminate();
    bool Terminated() const { return terminated_; }

    TForm* MainForm() const { return mainForm_; }

    // Shows a system message box owned by the hidden window. The application's
    // other windows are disabled while it is up; afterwards the window that was
    // active and the keyboard focus are given back.
    int MessageBox(const std::string& text, const std::string& caption, UINT flags);

    // Shows the exception being handled: call it from a catch block. An
    // Exception is shown by ShowException; anything else as EExternalException
    // "外部例外 E06D7363" (kCppExceptionCode). Never raises.
    void HandleException(TObject* sender);
    // Shows an exception: ExceptionBoxText of its message, captioned with the
    // title, with the OK button and the error icon, as MessageBox shows.
    void ShowException(const Exception& exception);

    // The program file's name as TitleFromFileName makes it.
    std::string Title() const;

    // The hidden window, made when first asked for.
    HWND Handle();

private:
    void FormCreated(TForm* form);
    // Handles one message taken from the queue.
    void Dispatch(MSG& message);

    UniqueWindow handle_;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;

    friend class TForm;
};

template <typename T>
void TApplication::CreateForm(T*& reference)
{
    void* memory = ::operator new(sizeof(T));
    reference = static_cast<T*>(memory);
    try {
        new (memory) T(this);
    } catch (...) {
        reference = nullptr;
        ::operator delete(memory);
        throw;
    }
    FormCreated(reference);
}

// The primary display.
class TScreen {
public:
    // The whole screen in pixels, not only its work area.
    int Width() const;
    int Height() const;
};

extern TApplication* Application;
extern TScreen* Screen;
