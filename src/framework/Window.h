// A window object over a raw Win32 window: messages of the attached window are dispatched to
// virtual handlers of the object.
//
// How a window gets attached:
//   - Dialog::Create / Dialog::DoModal create a dialog from a template and attach it before its
//     very first message (WM_NCCREATE);
//   - Subclass / SubclassDlgItem attach an existing window, typically a control of a
//     dialog template ("binding a control by id");
//   - CreateEx creates a plain window of a private class, attached from its first message.
//
// Dispatch: every message goes to the virtual WindowProc, which runs OnWndMsg; OnWndMsg calls the
// matching On... handler. A handler that is not overridden, or an override that wants the usual
// behaviour as well, calls Default(): the window's previous window procedure (for dialogs the
// system dialog procedure) with the message being handled. Messages without a handler get
// Default() directly. WM_DRAWITEM is reflected: the parent hands it to the DrawItem of the
// control object it names. Messages from WM_USER up to 0xBFFF (WM_USER and WM_APP ranges, i.e.
// posted user messages) go to OnUserMessage.
//
// Lifetime: the object is detached in WM_NCDESTROY, so it never receives a message after its
// window is gone. Destroying the object detaches it first; a window the object created itself
// (Create, CreateEx, DoModal) is then destroyed with it, a subclassed or referenced window is
// left alive. All of this runs on the window's own thread.
//
// Names such as SendMessage, PostMessage, DefWindowProc, GetWindowText and SetWindowText are
// macros of <windows.h>; it is included here, so the members are renamed consistently
// everywhere (as with any Win32 C++ wrapper).
#pragma once

#include <windows.h>

#include <string>

namespace ombrix {

class Window {
  public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // The attached window, or null.
    HWND GetSafeHwnd() const { return hwnd_; }
    // True while the attached window exists.
    bool Exists() const { return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE; }
    // The object attached (by subclassing or creation) to a window, or null.
    static Window* FromHandle(HWND hwnd);

    // --- attaching -------------------------------------------------------------------------
    // Routes the messages of an existing window to this object (PreSubclassWindow runs first).
    // False when the window does not exist or already belongs to an object.
    bool Subclass(HWND hwnd);
    // Subclass on the control with this id inside parent (a control of a dialog template).
    bool SubclassDlgItem(int controlId, Window* parent);
    // Gives the window back its previous procedure and detaches; returns the window.
    HWND Unsubclass();
    // Refers to a window without subclassing or owning it (e.g. a foreign owner window), so
    // that it can be passed where a Window* parent is expected. Detach() forgets it.
    void Attach(HWND hwnd);
    HWND Detach();
    // Creates a window of a private class registered once per process (a plain window or a
    // message-only window with parent HWND_MESSAGE), attached from its first message.
    bool CreateEx(DWORD exStyle, const wchar_t* title, DWORD style, int x, int y, int width,
                  int height, HWND parent, UINT_PTR idOrMenu = 0);
    // Destroys the attached window (WM_DESTROY / WM_NCDESTROY reach this object).
    bool DestroyWindow();

    // --- messages ---------------------------------------------------------------------------
    // Entry of every message of the attached window; override to see messages first and call
    // the base for the usual dispatch.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called by the message loop (PumpMessage) for queued messages aimed at this window or a
    // child of it, innermost window first. TRUE consumes the message.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Default processing of the message currently being handled by this object.
    LRESULT Default();
    // Default processing of an explicit message (the previous window procedure).
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // --- window state -----------------------------------------------------------------------
    bool ShowWindow(int showCommand) const;
    bool IsWindowVisible() const;
    bool EnableWindow(bool enable) const;
    bool IsWindowEnabled() const;
    bool SetWindowPos(HWND insertAfter, int x, int y, int width, int height, UINT flags) const;
    bool MoveWindow(int x, int y, int width, int height, bool repaint = true) const;
    RECT GetWindowRect() const;  // screen coordinates; empty when there is no window
    RECT GetClientRect() const;  // client coordinates; empty when there is no window
    void SetWindowText(const std::wstring& text) const;
    std::wstring GetWindowText() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    // Removes then adds window styles; flags nonzero also runs SetWindowPos(flags|FRAMECHANGED...).
    bool ModifyStyle(DWORD remove, DWORD add, UINT flags = 0) const;
    bool ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0) const;
    void Invalidate(bool erase = true) const;
    void UpdateWindow() const;
    bool SetForegroundWindow() const;
    HWND GetDlgItem(int controlId) const;
    HWND GetParent() const;
    // Owner of a top-level window (GWLP_HWNDPARENT).
    void SetOwner(HWND owner) const;
    HWND GetOwner() const;

    // --- timers, mouse ----------------------------------------------------------------------
    // WM_TIMER with this id reaches OnTimer(id) every `milliseconds`; 0 on failure.
    UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds) const;
    bool KillTimer(UINT_PTR id) const;
    HWND SetCapture() const;
    static bool ReleaseCapture();
    bool HasCapture() const;
    // TrackMouseEvent for this window: flags TME_HOVER / TME_LEAVE, hover time in ms.
    bool TrackMouseEvent(DWORD flags, DWORD hoverTime = HOVER_DEFAULT) const;
    // Cursor position in screen coordinates.
    static POINT GetCursorPos();

  protected:
    // Dispatches one message to the handlers below; unknown messages get Default().
    virtual LRESULT OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam);

    // Handlers: the base implementations run Default() (returning its result where a value
    // is returned). Points are client coordinates as in the message.
    virtual int OnCreate(CREATESTRUCTW* create);
    virtual void OnDestroy();
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(HDC dc);
    virtual void OnTimer(UINT_PTR timerId);
    virtual void OnLButtonDown(UINT flags, POINT point);
    virtual void OnLButtonUp(UINT flags, POINT point);
    virtual void OnLButtonDblClk(UINT flags, POINT point);
    virtual void OnMouseMove(UINT flags, POINT point);
    virtual void OnMouseHover(UINT flags, POINT point);
    virtual void OnMouseLeave();
    // WM_CAPTURECHANGED: newOwner took the mouse capture (null: released).
    virtual void OnCaptureChanged(HWND newOwner);
    virtual int OnMouseActivate(HWND topLevel, UINT hitTest, UINT message);
    virtual void OnClose();
    // WM_COMMAND; return TRUE when handled (otherwise Default() runs).
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnMove(int x, int y);
    virtual void OnShowWindow(BOOL show, UINT status);
    virtual void OnSysCommand(UINT command, LPARAM lParam);
    virtual LRESULT OnNcHitTest(POINT screenPoint);
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);
    // WM_PRINTCLIENT: draw the client area into dc (see ParentBackground.h).
    virtual void OnPrintClient(HDC dc, UINT flags);
    // WM_USER .. 0xBFFF: posted and sent user messages.
    virtual LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Owner drawing of this control, reflected from the parent's WM_DRAWITEM.
    virtual void DrawItem(DRAWITEMSTRUCT* item);
    // Runs just before Subclass attaches an existing window (e.g. to add styles).
    virtual void PreSubclassWindow();
    // Runs after the window is gone and the object detached.
    virtual void PostNcDestroy();

  private:
    friend class Dialog;

    // While it lives, the next window created on this thread is attached to `window` from its
    // very first message (a CBT hook sees the window before WM_NCCREATE).
    class CreationScope {
      public:
        explicit CreationScope(Window* window);
        ~CreationScope();
        CreationScope(const CreationScope&) = delete;
        CreationScope& operator=(const CreationScope&) = delete;

      private:
        HHOOK hook_;
        Window* outer_;
    };
    static LRESULT CALLBACK CreationHookProc(int code, WPARAM wParam, LPARAM lParam);

    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Installs StaticWindowProc on hwnd and binds it to this object.
    bool AttachProc(HWND hwnd);
    // Restores the previous procedure (if still ours) and forgets the window.
    void DetachProc();

    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    HWND hwnd_ = nullptr;
    WNDPROC previousProc_ = nullptr;
    bool subclassed_ = false;   // StaticWindowProc routes this window's messages to us
    bool ownsWindow_ = false;   // created by this object: destroyed with it
    CurrentMessage current_{};  // message being handled (for Default)
};

}  // namespace ombrix
