#include "resources/RangeUnpacker.h"

#include <zlib.h>

#include <cstring>

namespace {

const unsigned char kMagic0 = 0x1f;
const unsigned char kMagic1 = 0x8b;

}  // namespace

struct RangeUnpacker::Stream {
    z_stream z{};
    bool ready = false;

    ~Stream() {
        if (ready) inflateEnd(&z);
    }
    // A fresh gzip member: the state is made once and reset for every member after it.
    bool Begin() {
        if (ready) return inflateReset(&z) == Z_OK;
        ready = inflateInit2(&z, 15 + 16) == Z_OK;
        return ready;
    }
};

RangeUnpacker::RangeUnpacker() : stream_(new Stream), block_(kBlockSize) {}

RangeUnpacker::~RangeUnpacker() = default;

void RangeUnpacker::Reset() {
    used_ = 0;
    mode_ = Mode::Start;
    any_ = false;
    held_ = false;
}

bool RangeUnpacker::Fail() {
    mode_ = Mode::Failed;
    used_ = 0;
    return false;
}

bool RangeUnpacker::Flush(Output& out) {
    if (used_ == 0) return true;
    const size_t size = used_;
    used_ = 0;
    return out.Write(block_.data(), size) || Fail();
}

bool RangeUnpacker::Collect(const char* data, size_t size, Output& out) {
    while (size > 0) {
        if (used_ == block_.size() && !Flush(out)) return false;
        const size_t n = std::min(size, block_.size() - used_);
        std::memcpy(block_.data() + used_, data, n);
        used_ += n;
        data += n;
        size -= n;
    }
    return true;
}

bool RangeUnpacker::Inflate(const unsigned char* data, size_t size, Output& out) {
    z_stream& z = stream_->z;
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = static_cast<uInt>(size);
    for (;;) {
        if (used_ == block_.size() && !Flush(out)) return false;
        z.next_out = reinterpret_cast<unsigned char*>(block_.data() + used_);
        z.avail_out = static_cast<uInt>(block_.size() - used_);
        const int result = inflate(&z, Z_NO_FLUSH);
        used_ = block_.size() - z.avail_out;
        if (result == Z_STREAM_END) {
            mode_ = Mode::NextMember;
            const size_t consumed = size - z.avail_in;
            return consumed == size ||
                   Feed(reinterpret_cast<const char*>(data + consumed), size - consumed, out);
        }
        if (result != Z_OK && result != Z_BUF_ERROR) return Fail();
        // Done with this input once it is used up and inflate had room left for more output.
        if (z.avail_in == 0 && z.avail_out != 0) return true;
        if (result == Z_BUF_ERROR && z.avail_out != 0) return Fail();
    }
}

bool RangeUnpacker::Feed(const char* data, size_t size, Output& out) {
    if (mode_ == Mode::Failed) return false;
    if (size == 0) return true;
    any_ = true;
    if (mode_ == Mode::Copy) return Collect(data, size, out);
    if (mode_ == Mode::Trailing) return true;
    if (mode_ == Mode::Gzip) {
        return Inflate(reinterpret_cast<const unsigned char*>(data), size, out);
    }
    // Start or NextMember: two bytes decide whether a gzip member starts here.
    const unsigned char first = held_ ? heldByte_ : static_cast<unsigned char>(data[0]);
    const unsigned char* rest = reinterpret_cast<const unsigned char*>(data) + (held_ ? 0 : 1);
    const size_t restSize = size - (held_ ? 0 : 1);
    if (restSize == 0) {
        held_ = true;
        heldByte_ = first;
        return true;
    }
    const bool wasHeld = held_;
    held_ = false;
    if (first == kMagic0 && rest[0] == kMagic1) {
        if (!stream_->Begin()) return Fail();
        mode_ = Mode::Gzip;
        if (!Inflate(&first, 1, out)) return false;
        return Inflate(rest, restSize, out);
    }
    if (mode_ == Mode::NextMember) {
        mode_ = Mode::Trailing;  // not another member: the rest is ignored
        return true;
    }
    mode_ = Mode::Copy;
    if (wasHeld && !Collect(reinterpret_cast<const char*>(&first), 1, out)) return false;
    return Collect(data, size, out);
}

bool RangeUnpacker::Finish(Output& out) {
    if (mode_ == Mode::Failed || !any_) return Fail();
    if (mode_ == Mode::Start) {
        // A range of a single byte is plain data.
        mode_ = Mode::Copy;
        if (held_ && !Collect(reinterpret_cast<const char*>(&heldByte_), 1, out)) return false;
        held_ = false;
    }
    if (mode_ == Mode::Gzip) return Fail();  // the member ends early
    return Flush(out);
}
