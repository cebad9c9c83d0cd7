#include "app/PngResource.h"

#include <objidl.h>
#include <shlwapi.h>

#include <cstring>

namespace {

// A read-only stream over a fixed memory block that the stream owns and frees with its last
// reference. A decoded image keeps a reference to its stream (and may keep reading from it), so
// the block lives exactly as long as the image.
IStream* OpenPngResourceStream(WORD resourceId, HMODULE module) {
    if (module == nullptr) module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"PNG");
    if (info == nullptr) return nullptr;
    const DWORD size = ::SizeofResource(module, info);
    HGLOBAL loaded = ::LoadResource(module, info);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) return nullptr;
    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size);
    if (block == nullptr) return nullptr;
    std::memcpy(reinterpret_cast<void*>(block), bytes, size);
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(block, TRUE, &stream))) {
        ::GlobalFree(block);
        return nullptr;
    }
    ULARGE_INTEGER streamSize;
    streamSize.QuadPart = size;
    stream->SetSize(streamSize);
    return stream;
}

}  // namespace

Gdiplus::Image* LoadPngImage(WORD resourceId, HMODULE module) {
    IStream* stream = OpenPngResourceStream(resourceId, module);
    if (stream == nullptr) return new Gdiplus::Image(static_cast<IStream*>(nullptr));
    Gdiplus::Image* image = new Gdiplus::Image(stream);
    stream->Release();
    return image;
}

Gdiplus::Bitmap* LoadPngBitmap(WORD resourceId, int x, int y, int width, int height,
                               HMODULE module) {
    IStream* stream = OpenPngResourceStream(resourceId, module);
    Gdiplus::Bitmap* full = new Gdiplus::Bitmap(stream);
    if (stream) stream->Release();
    if (width == 0 || height == 0) return full;
    Gdiplus::Bitmap* crop = nullptr;
    if (full->GetLastStatus() == Gdiplus::Ok) {
        crop = full->Clone(x, y, width, height, full->GetPixelFormat());
        if (crop != nullptr && crop->GetLastStatus() != Gdiplus::Ok) {
            delete crop;
            crop = nullptr;
        }
    }
    delete full;
    return crop;
}

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug hook, background thread on
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
}

GdiplusSession::~GdiplusSession() {
    if (token_) Gdiplus::GdiplusShutdown(token_);
}
