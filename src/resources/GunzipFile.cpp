#include "resources/GunzipFile.h"

#include <windows.h>
#include <zlib.h>

#include <vector>

#include "framework/ScopedHandle.h"

namespace {

const unsigned kBufferSize = 64 * 1024;

class ScopedGzFile {
  public:
    explicit ScopedGzFile(gzFile file) : file_(file) {}
    ~ScopedGzFile() {
        if (file_) gzclose(file_);
    }
    ScopedGzFile(const ScopedGzFile&) = delete;
    ScopedGzFile& operator=(const ScopedGzFile&) = delete;
    gzFile Get() const { return file_; }
    // Closes the reader; Z_OK only when the whole stream was read without error.
    int Close() {
        gzFile file = file_;
        file_ = nullptr;
        return file ? gzclose(file) : Z_STREAM_ERROR;
    }

  private:
    gzFile file_;
};

}  // namespace

bool GunzipFile(const std::wstring& sourcePath, const std::wstring& destPath) {
    ScopedGzFile source(gzopen_w(sourcePath.c_str(), "rb"));
    if (!source.Get()) return false;
    gzbuffer(source.Get(), kBufferSize);
    ombrix::ScopedFileHandle dest(::CreateFileW(destPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
    if (!dest) return false;
    std::vector<char> buffer(kBufferSize);
    for (;;) {
        const int got = gzread(source.Get(), buffer.data(), kBufferSize);
        if (got < 0) return false;
        if (got == 0) break;
        DWORD written = 0;
        if (!::WriteFile(dest.Get(), buffer.data(), static_cast<DWORD>(got), &written, nullptr) ||
            written != static_cast<DWORD>(got)) {
            return false;
        }
    }
    // gzread reports a gzip stream cut short as a plain end of data; only the close tells.
    return source.Close() == Z_OK;
}
