// Content-defined chunking of large files: a gear rolling hash picks cut points from the bytes
// themselves, so an insertion or removal moves only the cuts next to it and every other chunk
// keeps its bytes and its digest. The publisher and the launcher cut with the same parameters
// (kChunkerName names them). Chunks are kMinSize to kMaxSize bytes; the cut test is stricter
// before kNormalSize and looser after it, which keeps most chunks near kNormalSize. No Windows
// header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class ContentChunker {
  public:
    static const size_t kMinSize = 16 * 1024;
    static const size_t kNormalSize = 64 * 1024;
    static const size_t kMaxSize = 256 * 1024;
    static const char kChunkerName[];

    // Length of the chunk that starts at data[0]: the first cut point within the size bytes,
    // or size when there is none. Callers give kMaxSize bytes (or all that is left of the file)
    // so that the cut does not depend on how the file is read.
    static size_t NextCut(const unsigned char* data, size_t size);
};

// Cuts a stream into chunks, reading it through read(buffer, want, &got) (got 0 at the end;
// false is a read error). Holds one buffer of a few chunks, whatever the stream's length.
class ChunkStream {
  public:
    using ReadFunction = std::function<bool(char* buffer, size_t want, size_t* got)>;

    explicit ChunkStream(ReadFunction read);

    // The next chunk, valid until the next call; false at the end or after a read error.
    bool Next(const char** data, size_t* size);
    bool Failed() const { return failed_; }
    // Offset in the stream of the chunk Next gave last.
    uint64_t ChunkOffset() const { return chunkOffset_; }

  private:
    bool Fill();

    ReadFunction read_;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    uint64_t consumed_ = 0;  // stream offset of buffer_[begin_]
    uint64_t chunkOffset_ = 0;
    bool atEnd_ = false;
    bool failed_ = false;
};
