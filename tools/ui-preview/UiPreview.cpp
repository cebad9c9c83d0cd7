// Shows one piece of the skinned toolkit over a patterned desktop for a few seconds:
//   ui_preview box TYPE SCALE [MILLISECONDS]     the message box (type 0: one button)
//   ui_preview layered SCALE [MILLISECONDS]      the main artwork as a layered window
// The pattern makes the per-pixel transparency of the layered windows visible.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "app/PngResource.h"
#include "app/ScaleFactor.h"
#include "framework/Dialog.h"
#include "framework/MessageLoop.h"
#include "framework/PaintScope.h"
#include "framework/ScopedHandle.h"
#include "res/resource.h"
#include "ui/CLayeredBackgroundDialog.h"
#include "ui/RunMessageBox.h"

namespace {

const UINT_PTR kQuitTimer = 1;

// A full-screen window with diagonal stripes and a grid: the "desktop" under the preview.
class PatternDesktop : public ombrix::Window {
  protected:
    BOOL OnEraseBkgnd(HDC) override { return TRUE; }
    void OnPaint() override {
        ombrix::PaintScope paint(GetSafeHwnd());
        const RECT r = GetClientRect();
        ombrix::ScopedBrush base(::CreateSolidBrush(RGB(46, 92, 140)));
        ::FillRect(paint.Dc(), &r, base.Get());
        ombrix::ScopedPen stripe(::CreatePen(PS_SOLID, 14, RGB(70, 130, 180)));
        ombrix::ScopedSelect selected(paint.Dc(), stripe.Get());
        for (int x = -r.bottom; x < r.right; x += 60) {
            ::MoveToEx(paint.Dc(), x, 0, nullptr);
            ::LineTo(paint.Dc(), x + r.bottom, r.bottom);
        }
        ombrix::ScopedPen grid(::CreatePen(PS_SOLID, 1, RGB(230, 230, 230)));
        ombrix::ScopedSelect gridSelected(paint.Dc(), grid.Get());
        for (int x = 0; x < r.right; x += 40) {
            ::MoveToEx(paint.Dc(), x, 0, nullptr);
            ::LineTo(paint.Dc(), x, r.bottom);
        }
        for (int y = 0; y < r.bottom; y += 40) {
            ::MoveToEx(paint.Dc(), 0, y, nullptr);
            ::LineTo(paint.Dc(), r.right, y);
        }
    }
    void OnTimer(UINT_PTR id) override {
        if (id == kQuitTimer) ::PostQuitMessage(0);
    }
};

// The main artwork as the launcher shows it: centred, draggable, per-pixel alpha.
class PreviewBackground : public CLayeredBackgroundDialog {
  public:
    PreviewBackground() : CLayeredBackgroundDialog(IDP_MAIN_ARTWORK, nullptr) {}
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) return 1;
    const std::wstring mode = argv[1];
    const bool box = mode == L"box";
    const int type = box ? static_cast<int>(std::wcstol(argv[2], nullptr, 10)) : 0;
    const float scale = static_cast<float>(std::wcstod(argv[box ? 3 : 2], nullptr));
    const int argMs = box ? 4 : 3;
    const UINT milliseconds =
        argc > argMs ? static_cast<UINT>(std::wcstoul(argv[argMs], nullptr, 10)) : 4000;
    ::LocalFree(argv);
    if (scale <= 0.0f) return 1;

    GdiplusSession gdiplus;
    SetScaleFactorForTesting(scale);
    PatternDesktop desktop;
    if (!desktop.CreateEx(WS_EX_TOOLWINDOW, L"desktop", WS_POPUP | WS_VISIBLE, 0, 0,
                          ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                          nullptr))
        return 1;
    desktop.UpdateWindow();
    desktop.SetTimer(kQuitTimer, milliseconds);

    if (box) {
        const std::wstring text =
            type == 0 ? L"Launcher更新完成,准备重启Launcher!" : L"网络连接失败,请检查网络后重试";
        RunMessageBox(text, nullptr, type == 0 ? L"" : L"重试", type == 0 ? L"" : L"退出", 0,
                      nullptr, type);
        return 0;
    }
    PreviewBackground background;
    if (!background.Create()) return 1;
    background.CenterOnDesktop();
    bool never = false;
    ombrix::RunMessageLoop(never);  // until the quit timer
    return 0;
}
