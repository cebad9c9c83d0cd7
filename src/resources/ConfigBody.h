// A CDN configuration's body as it arrives: blocks of a fixed size allocated as they fill (no
// growth by doubling, no copy at the end), each released once it was read, and what its parse
// must know of the whole before it starts: where its first zero byte is (the text ends there),
// whether the bytes before it decode line by line (ASCII or well-formed UTF-8), and how many
// lines they hold. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/Utf8Scan.h"

class ConfigBody {
  public:
    static constexpr size_t kBlockSize = 1024 * 1024;
    static constexpr size_t npos = std::string::npos;

    // blockSize: tests make it small, so that lines, characters and line ends cross blocks.
    explicit ConfigBody(size_t blockSize = kBlockSize, uint64_t maxBytes = UINT64_MAX);
    ConfigBody(ConfigBody&&) noexcept = default;
    ConfigBody& operator=(ConfigBody&&) noexcept = default;

    // Appends bytes; false (nothing of them kept) beyond maxBytes or when memory runs out.
    bool Append(const void* data, size_t size);
    void Clear();

    size_t size() const { return size_; }
    size_t BlockCount() const { return blocks_.size(); }
    // The bytes of block i (empty once released).
    std::string_view Block(size_t i) const;
    // Frees block i.
    void Release(size_t i) { blocks_[i].reset(); }
    // The whole body in one string (blocks released are missing from it).
    std::string Text() const;

    // Offset of the first zero byte; npos when there is none.
    size_t ZeroAt() const { return zeroAt_; }
    // Whether the bytes before the first zero are ASCII or well-formed UTF-8.
    bool DecodesByLine() const { return scan_.Ascii() || scan_.WellFormedUtf8(); }
    // Lines of the bytes before the first zero: one more than their line feeds.
    size_t Lines() const { return lineFeeds_ + 1; }

  private:
    size_t blockSize_;
    uint64_t maxBytes_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    size_t size_ = 0;
    size_t zeroAt_ = npos;
    size_t lineFeeds_ = 0;
    Utf8Scan scan_;
};
