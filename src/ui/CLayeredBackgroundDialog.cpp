#include "ui/CLayeredBackgroundDialog.h"

#include "app/PngResource.h"
#include "app/ScaleFactor.h"
#include "framework/CursorTravel.h"
#include "framework/ScopedHandle.h"
#include "res/resource.h"

CLayeredBackgroundDialog::CLayeredBackgroundDialog(int resourceID, ombrix::Window* parent)
    : CDialogBase(IDD_LAYERED_BACKGROUND, parent), imageResourceID(resourceID) {
    image.reset(LoadPngImage(static_cast<WORD>(imageResourceID)));
    if (image && image->GetLastStatus() == Gdiplus::Ok) {
        const float scale = GetScaleFactor();
        width = Scaled(scale, static_cast<int>(image->GetWidth()));
        height = Scaled(scale, static_cast<int>(image->GetHeight()));
    }
    alpha = 255;
    UpdateLayered();
}

CLayeredBackgroundDialog::~CLayeredBackgroundDialog() = default;

void CLayeredBackgroundDialog::UpdateLayered() {
    if (updating || !Exists()) return;
    updating = 1;
    const RECT window = GetWindowRect();
    POINT destination{window.left, window.top};

    ombrix::ScopedWindowDc windowDc(GetSafeHwnd());
    ombrix::ScopedMemoryDc memoryDc(::CreateCompatibleDC(windowDc.Get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = width * 4;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(stride) * static_cast<DWORD>(height);
    void* bits = nullptr;
    ombrix::ScopedBitmap bitmap;
    if (memoryDc && width > 0 && height > 0)
        bitmap.Reset(::CreateDIBSection(windowDc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap && bits != nullptr) {
        ZeroMemory(bits, info.bmiHeader.biSizeImage);  // fully transparent
        ModifyStyleEx(0, 0x0C080000);                  // layered, no-activate (+ 0x04000000)
        ombrix::ScopedSelect selected(memoryDc.Get(), bitmap.Get());
        {
            // GDI+ draws straight into the section's pixels as premultiplied ARGB, the format
            // the compositor expects. The rows are bottom-up: start at the last one.
            auto* lastRow = static_cast<BYTE*>(bits) + static_cast<size_t>(height - 1) * stride;
            Gdiplus::Bitmap target(width, height, -stride, PixelFormat32bppPARGB, lastRow);
            Gdiplus::Graphics graphics(&target);
            graphics.SetSmoothingMode(Gdiplus::SmoothingModeNone);
            graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
            graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            if (image && image->GetLastStatus() == Gdiplus::Ok)
                graphics.DrawImage(image.get(), 0, 0, width, height);
        }
        SIZE size{width, height};
        POINT source{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
        ::UpdateLayeredWindow(GetSafeHwnd(), windowDc.Get(), &destination, &size, memoryDc.Get(),
                              &source, 0, &blend, ULW_ALPHA);
    }
    updating = 0;
}

void CLayeredBackgroundDialog::OnMove(int, int) {}

void CLayeredBackgroundDialog::OnSize(UINT, int, int) {
    Default();
    UpdateLayered();
}

BOOL CLayeredBackgroundDialog::OnInitDialog() {
    CDialogBase::OnInitDialog();
    UpdateLayered();
    return TRUE;
}

void CLayeredBackgroundDialog::OnLButtonDown(UINT, POINT) {
    ombrix::StoreCursorPosition(lastCursorX, lastCursorY);
    dragging = 1;
    SetCapture();
    SetForegroundWindow();
    Default();
}

void CLayeredBackgroundDialog::OnLButtonUp(UINT, POINT) {
    dragging = 0;
    ReleaseCapture();
}

void CLayeredBackgroundDialog::OnMouseMove(UINT flags, POINT) {
    if (!ombrix::DragGoesOn(dragging, flags, GetSafeHwnd())) return;
    const POINT travel = ombrix::TakeCursorTravel(lastCursorX, lastCursorY);
    MoveBy(travel.x, travel.y);
}

void CLayeredBackgroundDialog::OnCaptureChanged(HWND) {
    dragging = 0;
}

int CLayeredBackgroundDialog::OnMouseActivate(HWND, UINT, UINT) {
    return 0;
}

BOOL CLayeredBackgroundDialog::OnEraseBkgnd(HDC) {
    return TRUE;
}
