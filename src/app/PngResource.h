// PNG artwork stored as resources of type "PNG", decoded with GDI+.
#pragma once

#include <windows.h>
#include <gdiplus.h>

// A new image decoded from the resource (owned by the caller). A missing resource gives an
// image whose decoding failed (GetLastStatus() != Ok), which draws nothing.
Gdiplus::Image* LoadPngImage(WORD resourceId, HMODULE module = nullptr);

// The rectangle (x, y, width, height) of the decoded bitmap, or the whole bitmap when width
// or height is 0; nullptr when cropping failed. Owned by the caller.
Gdiplus::Bitmap* LoadPngBitmap(WORD resourceId, int x, int y, int width, int height,
                               HMODULE module = nullptr);

// Starts GDI+ for the life of the object (the launcher holds one for the whole process).
class GdiplusSession {
  public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool Started() const { return token_ != 0; }

  private:
    ULONG_PTR token_ = 0;
};
