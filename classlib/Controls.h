// Components and the controls that sit on a form: the base of everything a window
// description creates, the push button and the picture.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Graphics.h"
#include "Handle.h"

class TForm;
class TReader;

// A window; destroying it destroys its child windows too.
using UniqueWindow = UniqueHandle<HWND, &::DestroyWindow>;

class TObject {
public:
    virtual ~TObject() = default;
};

// What an event runs: a handler, given the object that the event happened to.
using TNotifyEvent = std::function<void(TObject* sender)>;

// An object that may own others. The owner deletes what it owns when it goes; a
// component deleted earlier leaves its owner's list by itself.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

protected:
    // Deletes the owned components, the last one first. An owner whose own parts
    // must outlive them (a form's window, the application's forms) calls it first
    // thing in its destructor.
    void DestroyComponents();

private:
    TComponent* owner_;
    std::vector<TComponent*> components_;
};

// Something with a window: a form, or a control on a form. Its bounds and state
// may be set before the window exists; they are recorded and the window is made
// with them when it is first needed. No control is scaled for the display's
// pixel density.
class TControl : public TComponent {
public:
    // A control is put on parent, its form; a form has none.
    TControl(TComponent* owner, TForm* parent);
    ~TControl() override;

    // A form's outer window in screen pixels, frame included; a control's place
    // in its form's client area.
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int left);
    void SetTop(int top);
    void SetWidth(int width);
    void SetHeight(int height);

    bool Enabled() const { return enabled_; }
    // A control being disabled while it has the keyboard focus passes the focus
    // on to the next control in tab order, or to its form.
    void SetEnabled(bool enabled);

    // Where Tab puts the control among its form's controls; -1 for none.
    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int tabOrder) { tabOrder_ = tabOrder; }

    // The control's window, made (with its form's, for a control) when first asked for.
    HWND Handle();

protected:
    // Makes the window: a control's comes with its form's.
    virtual void CreateHandle();
    // Makes a control's window at its bounds, a child of its form's window with
    // the given identifier.
    virtual HWND CreateWindowHandle(HWND parentWindow, int id) = 0;
    // Reads one property of the window description; what a class does not know
    // it passes on to its base class.
    virtual void ReadProperty(TReader& reader, const std::string& name);
    // A WM_COMMAND notification that the control's window sent to its form.
    virtual void Command(WORD notification);

    // Where the window goes: a control's place moved by how far its form is scrolled.
    POINT WindowPosition() const;
    // Puts the window at the recorded bounds.
    void UpdateBounds();

    // The form the control sits on; none for a form.
    TForm* parent_;
    UniqueWindow handle_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool enabled_ = true;
    int tabOrder_ = -1;

    friend class TForm;
    friend class TReader;
};

// A push button that runs OnClick when clicked, by the mouse, by Space, or by
// Enter while it has the focus. It writes with its form's font.
class TButton : public TControl {
public:
    explicit TButton(TForm* owner);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);

    TNotifyEvent OnClick;

protected:
    HWND CreateWindowHandle(HWND parentWindow, int id) override;
    void ReadProperty(TReader& reader, const std::string& name) override;
    void Command(WORD notification) override;

private:
    std::string caption_;
};

// A picture on a form, drawn at the control's top-left corner, unscaled, every
// time its area is repainted. The picture is made when its canvas is first asked
// for; until then the control shows nothing of its own.
class TImage : public TControl {
public:
    explicit TImage(TForm* owner);

    // The picture's canvas. The first call makes the picture: a white bitmap of
    // the control's size. What is drawn on it shows at the next repaint.
    TCanvas& Canvas();

protected:
    HWND CreateWindowHandle(HWND parentWindow, int id) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint(HWND window);

    std::unique_ptr<TCanvas> canvas_;
};
