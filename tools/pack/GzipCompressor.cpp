#include "GzipCompressor.h"

#include <zlib.h>

#include <vector>

#include "app/Crypto.h"
#include "framework/ScopedHandle.h"

namespace {

const DWORD kChunk = 256 * 1024;

class DeflateStream {
  public:
    DeflateStream() {
        // windowBits 15 + 16: a gzip header and trailer around the deflate data.
        ok_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                           Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~DeflateStream() {
        if (ok_) deflateEnd(&stream_);
    }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;
    bool ok() const { return ok_; }
    z_stream* get() { return &stream_; }

  private:
    z_stream stream_{};
    bool ok_ = false;
};

bool WriteAll(HANDLE out, const unsigned char* data, DWORD size) {
    DWORD written = 0;
    return size == 0 || (::WriteFile(out, data, size, &written, nullptr) && written == size);
}

}  // namespace

bool CompressFileTo(const std::wstring& path, HANDLE out, CompressedFile* result,
                    std::wstring* error) {
    ombrix::ScopedFileHandle in(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) {
        *error = path + L": cannot open the file for reading";
        return false;
    }
    DeflateStream deflater;
    if (!deflater.ok()) {
        *error = L"zlib could not start a gzip stream";
        return false;
    }
    Md5Hasher hasher;
    std::vector<unsigned char> input(kChunk);
    std::vector<unsigned char> output(kChunk + kChunk / 8 + 64);
    z_stream* stream = deflater.get();
    result->length = 0;
    result->inputSize = 0;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        DWORD got = 0;
        if (!::ReadFile(in.Get(), input.data(), kChunk, &got, nullptr)) {
            *error = path + L": read error";
            return false;
        }
        if (got == 0) flush = Z_FINISH;
        hasher.Update(input.data(), got);
        result->inputSize += got;
        stream->next_in = input.data();
        stream->avail_in = got;
        do {
            stream->next_out = output.data();
            stream->avail_out = static_cast<uInt>(output.size());
            const int status = deflate(stream, flush);
            if (status == Z_STREAM_ERROR) {
                *error = path + L": compression failed";
                return false;
            }
            const DWORD produced = static_cast<DWORD>(output.size() - stream->avail_out);
            if (!WriteAll(out, output.data(), produced)) {
                *error = L"cannot write the package file (disk full?)";
                return false;
            }
            result->length += produced;
        } while (stream->avail_out == 0);
    }
    result->md5 = hasher.Finish();
    if (result->md5.size() != 16) {
        *error = L"the platform's MD5 provider is unavailable";
        return false;
    }
    return true;
}
