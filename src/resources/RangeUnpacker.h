// Unpacks one downloaded range while it streams in, reading it the way zlib's gzip file reader
// reads a file: a range that starts with the gzip magic is inflated, member after member, each
// checked against its trailer, and bytes after the last member that start no other member are
// ignored; any other range passes through unchanged. Output is collected into blocks of
// kBlockSize bytes, so small files reach their writer in one piece. No Windows header.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

class RangeUnpacker {
  public:
    static const size_t kBlockSize = 64 * 1024;

    // Receives the unpacked bytes in order; false stops the unpacking.
    class Output {
      public:
        virtual ~Output() = default;
        virtual bool Write(const char* data, size_t size) = 0;
    };

    RangeUnpacker();
    ~RangeUnpacker();
    RangeUnpacker(const RangeUnpacker&) = delete;
    RangeUnpacker& operator=(const RangeUnpacker&) = delete;

    // Starts a new range (the inflate state and the block are kept for reuse).
    void Reset();
    // The next bytes of the range. false when they are not a valid gzip stream or the output
    // refused; the unpacker then refuses everything until the next Reset.
    bool Feed(const char* data, size_t size, Output& out);
    // The range is complete: hands out what is still collected. false when nothing arrived,
    // when a gzip member is incomplete, or after a failure.
    bool Finish(Output& out);
    // Whether the range is gzip (known once its first two bytes, or its end, have arrived).
    bool IsGzip() const {
        return mode_ == Mode::Gzip || mode_ == Mode::NextMember || mode_ == Mode::Trailing;
    }

  private:
    enum class Mode { Start, Copy, Gzip, NextMember, Trailing, Failed };

    bool Inflate(const unsigned char* data, size_t size, Output& out);
    bool Collect(const char* data, size_t size, Output& out);
    bool Flush(Output& out);
    bool Fail();

    struct Stream;
    std::unique_ptr<Stream> stream_;
    std::vector<char> block_;
    size_t used_ = 0;
    Mode mode_ = Mode::Start;
    bool any_ = false;   // a byte of the range arrived
    bool held_ = false;  // one byte waits for the next to tell whether a member starts
    unsigned char heldByte_ = 0;
};
