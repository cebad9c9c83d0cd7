#include "GzipCompressor.h"

#include <zlib.h>

#include "framework/ScopedHandle.h"

namespace {

const DWORD kStreamChunk = 1u << 20;
// The read buffer starts at this size and grows with the files it holds, up to kWholeFileLimit:
// a set of small files never touches more.
const size_t kFirstBuffer = size_t(64) << 10;

z_stream* Z(void* stream) {
    return static_cast<z_stream*>(stream);
}

bool WriteAll(HANDLE out, const unsigned char* data, DWORD size) {
    DWORD written = 0;
    return size == 0 || (::WriteFile(out, data, size, &written, nullptr) && written == size);
}

HANDLE OpenForReading(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

GzipCompressor::GzipCompressor() : stream_(new z_stream{}) {
    // windowBits 15 + 16: a gzip header and trailer around the deflate data.
    ok_ = deflateInit2(Z(stream_), Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                       Z_DEFAULT_STRATEGY) == Z_OK;
}

GzipCompressor::~GzipCompressor() {
    if (ok_) deflateEnd(Z(stream_));
    delete Z(stream_);
}

bool GzipCompressor::Start(std::wstring* error) {
    if (!ok_ || deflateReset(Z(stream_)) != Z_OK) {
        *error = L"zlib could not start a gzip stream";
        return false;
    }
    return true;
}

bool GzipCompressor::Load(const std::wstring& path, FileDigest* digest, bool* whole,
                          std::wstring* error) {
    ombrix::ScopedFileHandle in(OpenForReading(path));
    if (!in) {
        *error = path + L": cannot open the file for reading";
        return false;
    }
    if (input_.size() < kFirstBuffer) input_.resize(kFirstBuffer);
    md5_.Reset();
    loaded_ = 0;
    *whole = true;
    digest->size = 0;
    for (;;) {
        DWORD got = 0;
        const size_t room = input_.size() - loaded_;
        if (!::ReadFile(in.Get(), input_.data() + loaded_, static_cast<DWORD>(room), &got,
                        nullptr)) {
            *error = path + L": read error";
            return false;
        }
        if (got == 0) break;
        if (*whole) {
            loaded_ += got;
            if (loaded_ < input_.size()) continue;
            if (input_.size() < kWholeFileLimit) {
                input_.resize(input_.size() * 2 < kWholeFileLimit ? input_.size() * 2
                                                                  : kWholeFileLimit);
                continue;
            }
            // Larger than the limit: hash what was read, then the rest piece by piece.
            *whole = false;
            md5_.Update(input_.data(), loaded_);
            digest->size = static_cast<int64_t>(loaded_);
            loaded_ = 0;
        } else {
            md5_.Update(input_.data(), got);
            digest->size += got;
        }
    }
    if (*whole) {
        md5_.Update(input_.data(), loaded_);
        digest->size = static_cast<int64_t>(loaded_);
    }
    digest->md5 = md5_.Finish();
    return true;
}

bool GzipCompressor::CompressLoaded(std::string* gz, std::wstring* error) {
    if (!Start(error)) return false;
    z_stream* stream = Z(stream_);
    const size_t bound = deflateBound(stream, static_cast<uLong>(loaded_)) + 64;
    if (output_.size() < bound) output_.resize(bound);
    stream->next_in = input_.data();
    stream->avail_in = static_cast<uInt>(loaded_);
    stream->next_out = output_.data();
    stream->avail_out = static_cast<uInt>(output_.size());
    if (deflate(stream, Z_FINISH) != Z_STREAM_END) {
        *error = L"compression failed";
        return false;
    }
    gz->assign(reinterpret_cast<const char*>(output_.data()), output_.size() - stream->avail_out);
    return true;
}

bool GzipCompressor::CompressFileTo(const std::wstring& path, HANDLE out, FileDigest* digest,
                                    int64_t* length, std::wstring* error) {
    ombrix::ScopedFileHandle in(OpenForReading(path));
    if (!in) {
        *error = path + L": cannot open the file for reading";
        return false;
    }
    if (!Start(error)) return false;
    if (input_.size() < kStreamChunk) input_.resize(kStreamChunk);
    if (output_.size() < kStreamChunk + kStreamChunk / 8 + 64) {
        output_.resize(kStreamChunk + kStreamChunk / 8 + 64);
    }
    md5_.Reset();
    z_stream* stream = Z(stream_);
    *length = 0;
    digest->size = 0;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        DWORD got = 0;
        if (!::ReadFile(in.Get(), input_.data(), kStreamChunk, &got, nullptr)) {
            *error = path + L": read error";
            return false;
        }
        if (got == 0) flush = Z_FINISH;
        md5_.Update(input_.data(), got);
        digest->size += got;
        stream->next_in = input_.data();
        stream->avail_in = got;
        do {
            stream->next_out = output_.data();
            stream->avail_out = static_cast<uInt>(output_.size());
            if (deflate(stream, flush) == Z_STREAM_ERROR) {
                *error = path + L": compression failed";
                return false;
            }
            const DWORD produced = static_cast<DWORD>(output_.size() - stream->avail_out);
            if (!WriteAll(out, output_.data(), produced)) {
                *error = L"cannot write the package file (disk full?)";
                return false;
            }
            *length += produced;
        } while (stream->avail_out == 0);
    }
    digest->md5 = md5_.Finish();
    return true;
}
