#include "resources/ContentChunker.h"

#include <cstring>

const char ContentChunker::kChunkerName[] = "gear-16k-64k-256k";

namespace {

// The top bits of the gear hash depend on the last 64 bytes; 18 of them must be zero before
// the normal size (a cut every 256 KiB on average), 14 after it (every 16 KiB).
const uint64_t kMaskStrict = ~uint64_t(0) << (64 - 18);
const uint64_t kMaskLoose = ~uint64_t(0) << (64 - 14);

struct GearTable {
    uint64_t values[256];
    GearTable() {
        // Fixed pseudo-random values (splitmix64 from a fixed seed): part of the format.
        uint64_t state = 0x6F6D627269786364ull;
        for (uint64_t& value : values) {
            state += 0x9E3779B97F4A7C15ull;
            uint64_t z = state;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            value = z ^ (z >> 31);
        }
    }
};

const GearTable& Gear() {
    static const GearTable table;
    return table;
}

const size_t kBufferSize = 4 * ContentChunker::kMaxSize;

}  // namespace

size_t ContentChunker::NextCut(const unsigned char* data, size_t size) {
    if (size <= kMinSize) return size;
    const uint64_t* gear = Gear().values;
    const size_t limit = size < kMaxSize ? size : kMaxSize;
    const size_t normal = limit < kNormalSize ? limit : kNormalSize;
    uint64_t hash = 0;
    size_t i = kMinSize;
    for (; i < normal; ++i) {
        hash = (hash << 1) + gear[data[i]];
        if ((hash & kMaskStrict) == 0) return i + 1;
    }
    for (; i < limit; ++i) {
        hash = (hash << 1) + gear[data[i]];
        if ((hash & kMaskLoose) == 0) return i + 1;
    }
    return limit;
}

ChunkStream::ChunkStream(ReadFunction read) : read_(std::move(read)), buffer_(kBufferSize) {}

bool ChunkStream::Fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    while (!atEnd_ && end_ < buffer_.size()) {
        size_t got = 0;
        if (!read_(buffer_.data() + end_, buffer_.size() - end_, &got)) {
            failed_ = true;
            return false;
        }
        if (got == 0) atEnd_ = true;
        end_ += got;
    }
    return true;
}

bool ChunkStream::Next(const char** data, size_t* size) {
    if (failed_) return false;
    if (end_ - begin_ < ContentChunker::kMaxSize && !atEnd_ && !Fill()) return false;
    if (begin_ == end_) return false;
    const size_t cut = ContentChunker::NextCut(
        reinterpret_cast<const unsigned char*>(buffer_.data() + begin_), end_ - begin_);
    *data = buffer_.data() + begin_;
    *size = cut;
    chunkOffset_ = consumed_;
    begin_ += cut;
    consumed_ += cut;
    return true;
}
