#include "Controls.h"

#include <algorithm>

#include "FormLoader.h"
#include "Forms.h"
#include "Text.h"

namespace {

const wchar_t kImageClass[] = L"TImage";

// BeginPaint and the EndPaint that must follow it.
class TPaint {
public:
    explicit TPaint(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    TPaint(const TPaint&) = delete;
    TPaint& operator=(const TPaint&) = delete;
    ~TPaint() { EndPaint(window_, &paint_); }

    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

}  // namespace

TComponent::TComponent(TComponent* owner) : owner_(owner)
{
    if (owner_ != nullptr) owner_->components_.push_back(this);
}

TComponent::~TComponent()
{
    DestroyComponents();
    if (owner_ != nullptr) {
        auto& siblings = owner_->components_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

void TComponent::DestroyComponents()
{
    // Each one leaves the list as it goes.
    while (!components_.empty()) delete components_.back();
}

TControl::TControl(TComponent* owner, TForm* parent) : TComponent(owner), parent_(parent)
{
    if (parent_ != nullptr) parent_->AddControl(this);
}

TControl::~TControl()
{
    if (parent_ != nullptr) parent_->RemoveControl(this);
    // Messages that destroying the window sends no longer reach this half-destroyed object.
    if (handle_) SetWindowLongPtrW(handle_.get(), GWLP_USERDATA, 0);
}

void TControl::SetLeft(int left)
{
    left_ = left;
    UpdateBounds();
}

void TControl::SetTop(int top)
{
    top_ = top;
    UpdateBounds();
}

void TControl::SetWidth(int width)
{
    width_ = width;
    UpdateBounds();
}

void TControl::SetHeight(int height)
{
    height_ = height;
    UpdateBounds();
}

void TControl::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    if (!handle_) return;
    // A disabled window that keeps the focus would swallow the keyboard.
    if (!enabled && parent_ != nullptr && GetFocus() == handle_.get())
        parent_->FocusNextControl(handle_.get());
    EnableWindow(handle_.get(), enabled);
}

HWND TControl::Handle()
{
    if (!handle_) CreateHandle();
    return handle_.get();
}

void TControl::CreateHandle()
{
    // The form's window comes with the windows of every control on it; a control
    // put on the form afterwards gets its own now.
    parent_->Handle();
    if (!handle_) parent_->CreateControlWindow(*this);
}

POINT TControl::WindowPosition() const
{
    POINT position{left_, top_};
    if (parent_ != nullptr) {
        const POINT scrolled = parent_->ScrollPosition();
        position.x -= scrolled.x;
        position.y -= scrolled.y;
    }
    return position;
}

void TControl::UpdateBounds()
{
    if (!handle_) return;
    const POINT position = WindowPosition();
    SetWindowPos(handle_.get(), nullptr, position.x, position.y, width_, height_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::ReadProperty(TReader& reader, const std::string& name)
{
    if (name == "Left") {
        SetLeft(reader.ReadInteger());
    } else if (name == "Top") {
        SetTop(reader.ReadInteger());
    } else if (name == "Width") {
        SetWidth(reader.ReadInteger());
    } else if (name == "Height") {
        SetHeight(reader.ReadInteger());
    } else {
        reader.UnknownProperty(name);
    }
}

void TControl::Command(WORD) {}

TButton::TButton(TForm* owner) : TControl(owner, owner) {}

void TButton::SetCaption(const std::string& caption)
{
    caption_ = caption;
    if (handle_) SetWindowTextW(handle_.get(), ToWide(caption_).c_str());
}

HWND TButton::CreateWindowHandle(HWND parentWindow, int id)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | (enabled_ ? 0 : WS_DISABLED);
    const POINT position = WindowPosition();
    return CreateWindowExW(0, L"BUTTON", ToWide(caption_).c_str(), style, position.x, position.y, width_,
                           height_, parentWindow, reinterpret_cast<HMENU>(INT_PTR(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

void TButton::ReadProperty(TReader& reader, const std::string& name)
{
    if (name == "Caption") {
        SetCaption(reader.ReadString());
    } else if (name == "TabOrder") {
        SetTabOrder(reader.ReadInteger());
    } else if (name == "OnClick") {
        OnClick = reader.ReadMethod();
    } else {
        TControl::ReadProperty(reader, name);
    }
}

void TButton::Command(WORD notification)
{
    if (notification == BN_CLICKED && OnClick) OnClick(this);
}

TImage::TImage(TForm* owner) : TControl(owner, owner) {}

TCanvas& TImage::Canvas()
{
    if (!canvas_) {
        canvas_ = std::make_unique<TCanvas>(width_, height_, [this] {
            if (handle_) InvalidateRect(handle_.get(), nullptr, FALSE);
        });
    }
    return *canvas_;
}

HWND TImage::CreateWindowHandle(HWND parentWindow, int id)
{
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &TImage::WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = kImageClass;
        return RegisterClassExW(&windowClass);
    }();
    if (registered == 0) RaiseOutOfResources();

    const POINT position = WindowPosition();
    return CreateWindowExW(0, kImageClass, L"", WS_CHILD | WS_VISIBLE | (enabled_ ? 0 : WS_DISABLED),
                           position.x, position.y, width_, height_, parentWindow,
                           reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), this);
}

LRESULT CALLBACK TImage::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* image = reinterpret_cast<TImage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (image == nullptr || message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    // No C++ exception may unwind through the system's code that called us.
    try {
        image->OnPaint(window);
    } catch (...) {
        Application->HandleException(image);
    }
    return 0;
}

void TImage::OnPaint(HWND window)
{
    const TPaint paint(window);
    if (canvas_) {
        BitBlt(paint.Dc(), 0, 0, canvas_->Width(), canvas_->Height(), canvas_->Handle(), 0, 0, SRCCOPY);
    }
}
