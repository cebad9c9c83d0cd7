#include "framework/Window.h"

#include <utility>
#include <vector>

namespace ombrix {

namespace {

// Window properties: the attached object, and the procedure it replaced (kept even after the
// object let go, so that a window subclassed again on top of us still reaches the original).
const wchar_t kObjectProp[] = L"Ombrix.Window";
const wchar_t kPreviousProcProp[] = L"Ombrix.PreviousProc";
const wchar_t kPlainClassName[] = L"OmbrixWindow";

// Signed coordinates of mouse messages (as GET_X_LPARAM / GET_Y_LPARAM).
int LowSigned(LPARAM value) {
    return static_cast<short>(LOWORD(value));
}
int HighSigned(LPARAM value) {
    return static_cast<short>(HIWORD(value));
}

// Window thread only: the object waiting for its window to be created.
thread_local Window* creatingWindow = nullptr;

}  // namespace

Window::CreationScope::CreationScope(Window* window)
    : hook_(
          ::SetWindowsHookExW(WH_CBT, &Window::CreationHookProc, nullptr, ::GetCurrentThreadId())),
      outer_(creatingWindow) {
    creatingWindow = window;
}

Window::CreationScope::~CreationScope() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
    creatingWindow = outer_;
}

LRESULT CALLBACK Window::CreationHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && creatingWindow != nullptr) {
        Window* window = creatingWindow;
        creatingWindow = nullptr;  // only the first window: not its child controls
        if (window->AttachProc(reinterpret_cast<HWND>(wParam))) window->ownsWindow_ = true;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

Window::Window() = default;

Window::~Window() {
    HWND hwnd = hwnd_;
    const bool owned = ownsWindow_;
    if (subclassed_) {
        DetachProc();
    } else {
        hwnd_ = nullptr;
    }
    if (owned && hwnd != nullptr && ::IsWindow(hwnd)) ::DestroyWindow(hwnd);
}

Window* Window::FromHandle(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    return static_cast<Window*>(::GetPropW(hwnd, kObjectProp));
}

bool Window::AttachProc(HWND hwnd) {
    if (hwnd == nullptr || !::IsWindow(hwnd) || FromHandle(hwnd) != nullptr) return false;
    if (hwnd_ != nullptr && hwnd_ != hwnd) return false;
    if (!::SetPropW(hwnd, kObjectProp, this)) return false;
    hwnd_ = hwnd;
    subclassed_ = true;
    previousProc_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::StaticWindowProc)));
    ::SetPropW(hwnd, kPreviousProcProp, reinterpret_cast<HANDLE>(previousProc_));
    return true;
}

void Window::DetachProc() {
    HWND hwnd = hwnd_;
    if (hwnd != nullptr && subclassed_ && ::IsWindow(hwnd)) {
        ::RemovePropW(hwnd, kObjectProp);
        const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
        if (current == &Window::StaticWindowProc) {
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
            ::RemovePropW(hwnd, kPreviousProcProp);
        }
    }
    hwnd_ = nullptr;
    subclassed_ = false;
    ownsWindow_ = false;
}

LRESULT CALLBACK Window::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = FromHandle(hwnd);
    if (self == nullptr) {
        // Our object let go while another subclass still calls us: pass through.
        auto previous = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kPreviousProcProp));
        if (message == WM_NCDESTROY) ::RemovePropW(hwnd, kPreviousProcProp);
        return previous ? ::CallWindowProcW(previous, hwnd, message, wParam, lParam)
                        : ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // Last message of the window: detach first, so the object never sees another one.
        WNDPROC previous = self->previousProc_;
        self->DetachProc();
        LRESULT result = previous ? ::CallWindowProcW(previous, hwnd, message, wParam, lParam)
                                  : ::DefWindowProcW(hwnd, message, wParam, lParam);
        self->PostNcDestroy();
        return result;
    }
    return self->WindowProc(message, wParam, lParam);
}

bool Window::Subclass(HWND hwnd) {
    if (hwnd == nullptr || !::IsWindow(hwnd) || FromHandle(hwnd) != nullptr) return false;
    if (hwnd_ != nullptr) return false;
    hwnd_ = hwnd;  // PreSubclassWindow may use the handle
    PreSubclassWindow();
    hwnd_ = nullptr;
    return AttachProc(hwnd);
}

bool Window::SubclassDlgItem(int controlId, Window* parent) {
    if (parent == nullptr || parent->GetSafeHwnd() == nullptr) return false;
    return Subclass(::GetDlgItem(parent->GetSafeHwnd(), controlId));
}

HWND Window::Unsubclass() {
    HWND hwnd = hwnd_;
    if (subclassed_) DetachProc();
    hwnd_ = nullptr;
    return hwnd;
}

void Window::Attach(HWND hwnd) {
    if (subclassed_) return;
    hwnd_ = hwnd;
    ownsWindow_ = false;
}

HWND Window::Detach() {
    if (subclassed_) return Unsubclass();
    return std::exchange(hwnd_, nullptr);
}

bool Window::CreateEx(DWORD exStyle, const wchar_t* title, DWORD style, int x, int y, int width,
                      int height, HWND parent, UINT_PTR idOrMenu) {
    if (hwnd_ != nullptr) return false;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW cls{};
    if (!::GetClassInfoExW(instance, kPlainClassName, &cls)) {
        cls.cbSize = sizeof(cls);
        cls.lpfnWndProc = &::DefWindowProcW;
        cls.hInstance = instance;
        cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        cls.lpszClassName = kPlainClassName;
        if (!::RegisterClassExW(&cls)) return false;
    }
    HWND hwnd = nullptr;
    {
        CreationScope scope(this);
        hwnd =
            ::CreateWindowExW(exStyle, kPlainClassName, title ? title : L"", style, x, y, width,
                              height, parent, reinterpret_cast<HMENU>(idOrMenu), instance, nullptr);
    }
    if (hwnd == nullptr) return false;
    if (hwnd_ != hwnd) {  // the hook could not attach it
        ::DestroyWindow(hwnd);
        return false;
    }
    return true;
}

bool Window::DestroyWindow() {
    if (hwnd_ == nullptr) return false;
    return ::DestroyWindow(hwnd_) != FALSE;
}

LRESULT Window::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const CurrentMessage saved = current_;
    current_ = {message, wParam, lParam};
    const LRESULT result = OnWndMsg(message, wParam, lParam);
    current_ = saved;
    return result;
}

BOOL Window::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT Window::Default() {
    return DefWindowProc(current_.message, current_.wParam, current_.lParam);
}

LRESULT Window::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd_ == nullptr) return 0;
    if (previousProc_ != nullptr && subclassed_)
        return ::CallWindowProcW(previousProc_, hwnd_, message, wParam, lParam);
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT Window::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return hwnd_ ? ::SendMessageW(hwnd_, message, wParam, lParam) : 0;
}

bool Window::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return hwnd_ && ::PostMessageW(hwnd_, message, wParam, lParam) != FALSE;
}

LRESULT Window::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT point{LowSigned(lParam), HighSigned(lParam)};
    switch (message) {
        case WM_CREATE:
            return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        case WM_TIMER:
            OnTimer(static_cast<UINT_PTR>(wParam));
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(static_cast<UINT>(wParam), point);
            return 0;
        case WM_LBUTTONUP:
            OnLButtonUp(static_cast<UINT>(wParam), point);
            return 0;
        case WM_LBUTTONDBLCLK:
            OnLButtonDblClk(static_cast<UINT>(wParam), point);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(static_cast<UINT>(wParam), point);
            return 0;
        case WM_MOUSEHOVER:
            OnMouseHover(static_cast<UINT>(wParam), point);
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return 0;
        case WM_CAPTURECHANGED:
            OnCaptureChanged(reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_MOUSEACTIVATE:
            return OnMouseActivate(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_COMMAND:
            if (OnCommand(wParam, lParam)) return 0;
            return Default();
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_MOVE:
            OnMove(LowSigned(lParam), HighSigned(lParam));
            return 0;
        case WM_SHOWWINDOW:
            OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));
            return 0;
        case WM_SYSCOMMAND:
            OnSysCommand(static_cast<UINT>(wParam), lParam);
            return 0;
        case WM_PRINTCLIENT:
            OnPrintClient(reinterpret_cast<HDC>(wParam), static_cast<UINT>(lParam));
            return 0;
        case WM_NCHITTEST:
            return OnNcHitTest(point);
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return reinterpret_cast<LRESULT>(
                OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message));
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            if (item != nullptr && item->CtlType != ODT_MENU) {
                Window* control = FromHandle(item->hwndItem);
                if (control != nullptr && control != this) {
                    control->DrawItem(item);
                    return TRUE;
                }
            }
            return Default();
        }
        default:
            if (message >= WM_USER && message <= 0xBFFF)
                return OnUserMessage(message, wParam, lParam);
            return Default();
    }
}

int Window::OnCreate(CREATESTRUCTW*) {
    return static_cast<int>(Default());
}
void Window::OnDestroy() {
    Default();
}
void Window::OnPaint() {
    Default();
}
BOOL Window::OnEraseBkgnd(HDC) {
    return static_cast<BOOL>(Default());
}
void Window::OnTimer(UINT_PTR) {
    Default();
}
void Window::OnLButtonDown(UINT, POINT) {
    Default();
}
void Window::OnLButtonUp(UINT, POINT) {
    Default();
}
void Window::OnLButtonDblClk(UINT, POINT) {
    Default();
}
void Window::OnMouseMove(UINT, POINT) {
    Default();
}
void Window::OnMouseHover(UINT, POINT) {
    Default();
}
void Window::OnCaptureChanged(HWND) {
    Default();
}
void Window::OnMouseLeave() {
    Default();
}
int Window::OnMouseActivate(HWND, UINT, UINT) {
    return static_cast<int>(Default());
}
void Window::OnClose() {
    Default();
}
BOOL Window::OnCommand(WPARAM, LPARAM) {
    return FALSE;
}
void Window::OnSize(UINT, int, int) {
    Default();
}
void Window::OnMove(int, int) {
    Default();
}
void Window::OnShowWindow(BOOL, UINT) {
    Default();
}
void Window::OnSysCommand(UINT, LPARAM) {
    Default();
}
LRESULT Window::OnNcHitTest(POINT) {
    return Default();
}
HBRUSH Window::OnCtlColor(HDC, HWND, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}
void Window::OnPrintClient(HDC, UINT) {
    Default();
}
LRESULT Window::OnUserMessage(UINT, WPARAM, LPARAM) {
    return Default();
}
void Window::DrawItem(DRAWITEMSTRUCT*) {}
void Window::PreSubclassWindow() {}
void Window::PostNcDestroy() {}

bool Window::ShowWindow(int showCommand) const {
    return hwnd_ && ::ShowWindow(hwnd_, showCommand) != FALSE;
}
bool Window::IsWindowVisible() const {
    return hwnd_ && ::IsWindowVisible(hwnd_) != FALSE;
}
bool Window::EnableWindow(bool enable) const {
    return hwnd_ && ::EnableWindow(hwnd_, enable ? TRUE : FALSE) != FALSE;
}
bool Window::IsWindowEnabled() const {
    return hwnd_ && ::IsWindowEnabled(hwnd_) != FALSE;
}

bool Window::SetWindowPos(HWND insertAfter, int x, int y, int width, int height, UINT flags) const {
    return hwnd_ && ::SetWindowPos(hwnd_, insertAfter, x, y, width, height, flags) != FALSE;
}

bool Window::MoveWindow(int x, int y, int width, int height, bool repaint) const {
    return hwnd_ && ::MoveWindow(hwnd_, x, y, width, height, repaint ? TRUE : FALSE) != FALSE;
}

RECT Window::GetWindowRect() const {
    RECT r{};
    if (hwnd_) ::GetWindowRect(hwnd_, &r);
    return r;
}

RECT Window::GetClientRect() const {
    RECT r{};
    if (hwnd_) ::GetClientRect(hwnd_, &r);
    return r;
}

void Window::SetWindowText(const std::wstring& text) const {
    if (hwnd_) ::SetWindowTextW(hwnd_, text.c_str());
}

std::wstring Window::GetWindowText() const {
    if (hwnd_ == nullptr) return std::wstring();
    const int length = ::GetWindowTextLengthW(hwnd_);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd_, buffer.data(), length + 1);
    return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

DWORD Window::GetStyle() const {
    return hwnd_ ? static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)) : 0;
}

DWORD Window::GetExStyle() const {
    return hwnd_ ? static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)) : 0;
}

namespace {

bool ModifyLong(HWND hwnd, int index, DWORD remove, DWORD add, UINT flags) {
    if (hwnd == nullptr) return false;
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, index));
    const DWORD changed = (style & ~remove) | add;
    if (changed == style) return false;
    ::SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(changed));
    if (flags != 0)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return true;
}

}  // namespace

bool Window::ModifyStyle(DWORD remove, DWORD add, UINT flags) const {
    return ModifyLong(hwnd_, GWL_STYLE, remove, add, flags);
}

bool Window::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) const {
    return ModifyLong(hwnd_, GWL_EXSTYLE, remove, add, flags);
}

void Window::Invalidate(bool erase) const {
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE);
}

void Window::UpdateWindow() const {
    if (hwnd_) ::UpdateWindow(hwnd_);
}

bool Window::SetForegroundWindow() const {
    return hwnd_ && ::SetForegroundWindow(hwnd_) != FALSE;
}

HWND Window::GetDlgItem(int controlId) const {
    return hwnd_ ? ::GetDlgItem(hwnd_, controlId) : nullptr;
}

HWND Window::GetParent() const {
    return hwnd_ ? ::GetParent(hwnd_) : nullptr;
}

void Window::SetOwner(HWND owner) const {
    if (hwnd_) ::SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

HWND Window::GetOwner() const {
    return hwnd_ ? ::GetWindow(hwnd_, GW_OWNER) : nullptr;
}

UINT_PTR Window::SetTimer(UINT_PTR id, UINT milliseconds) const {
    return hwnd_ ? ::SetTimer(hwnd_, id, milliseconds, nullptr) : 0;
}

bool Window::KillTimer(UINT_PTR id) const {
    return hwnd_ && ::KillTimer(hwnd_, id) != FALSE;
}

HWND Window::SetCapture() const {
    return hwnd_ ? ::SetCapture(hwnd_) : nullptr;
}

bool Window::ReleaseCapture() {
    return ::ReleaseCapture() != FALSE;
}

bool Window::HasCapture() const {
    return hwnd_ != nullptr && ::GetCapture() == hwnd_;
}

bool Window::TrackMouseEvent(DWORD flags, DWORD hoverTime) const {
    if (hwnd_ == nullptr) return false;
    TRACKMOUSEEVENT request{};
    request.cbSize = sizeof(request);
    request.dwFlags = flags;
    request.hwndTrack = hwnd_;
    request.dwHoverTime = hoverTime;
    return ::TrackMouseEvent(&request) != FALSE;
}

POINT Window::GetCursorPos() {
    POINT p{};
    ::GetCursorPos(&p);
    return p;
}

}  // namespace ombrix
