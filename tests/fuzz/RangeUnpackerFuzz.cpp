// Unpacking a downloaded range: whatever the bytes, fed whole or in pieces of any size, the
// outcome and the output are the same, and a range that is not gzip comes back unchanged.
#include <cstdlib>
#include <string>

#include "resources/RangeUnpacker.h"

namespace {

struct Collect : RangeUnpacker::Output {
    std::string bytes;
    bool Write(const char* data, size_t size) override {
        bytes.append(data, size);
        return true;
    }
};

bool Unpack(RangeUnpacker& unpacker, const std::string& range, size_t piece, std::string* out) {
    Collect collect;
    unpacker.Reset();
    bool ok = true;
    for (size_t at = 0; at < range.size() && ok; at += piece) {
        ok = unpacker.Feed(range.data() + at, std::min(piece, range.size() - at), collect);
    }
    ok = ok && unpacker.Finish(collect);
    *out = collect.bytes;
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the piece size; the rest is the range.
    const size_t piece = 1 + data[0] % 64;
    const std::string range(reinterpret_cast<const char*>(data + 1), size - 1);
    static RangeUnpacker unpacker;  // reused across inputs, as a worker reuses it across files
    std::string whole;
    std::string pieces;
    const bool okWhole = Unpack(unpacker, range, range.size() + 1, &whole);
    const bool okPieces = Unpack(unpacker, range, piece, &pieces);
    if (okWhole != okPieces || (okWhole && whole != pieces)) std::abort();
    const bool gzip = range.size() >= 2 && range[0] == '\x1f' && range[1] == '\x8b';
    if (!gzip && !range.empty() && (!okWhole || whole != range)) std::abort();
    return 0;
}
