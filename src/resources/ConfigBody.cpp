#include "resources/ConfigBody.h"

#include <algorithm>
#include <cstring>
#include <new>

ConfigBody::ConfigBody(size_t blockSize, uint64_t maxBytes)
    : blockSize_(blockSize > 0 ? blockSize : kBlockSize), maxBytes_(maxBytes) {}

bool ConfigBody::Append(const void* data, size_t size) {
    if (size == 0) return true;
    if (data == nullptr || size > maxBytes_ - size_) return false;
    const char* bytes = static_cast<const char*>(data);
    // Room first, so that a refusal keeps nothing of these bytes.
    const size_t room = blocks_.size() * blockSize_ - size_;
    const size_t more = size > room ? (size - room + blockSize_ - 1) / blockSize_ : 0;
    try {
        blocks_.reserve(blocks_.size() + more);
        for (size_t i = 0; i < more; ++i) {
            blocks_.emplace_back(new char[blockSize_]);
        }
    } catch (const std::bad_alloc&) {
        blocks_.resize((size_ + blockSize_ - 1) / blockSize_);
        return false;
    }
    if (zeroAt_ == npos) {
        const void* zero = std::memchr(bytes, '\0', size);
        const size_t text = zero != nullptr ? static_cast<const char*>(zero) - bytes : size;
        scan_.Add(reinterpret_cast<const unsigned char*>(bytes), text);
        for (const char* p = bytes;
             (p = static_cast<const char*>(std::memchr(p, '\n', bytes + text - p))); ++p) {
            ++lineFeeds_;
        }
        if (zero != nullptr) zeroAt_ = size_ + text;
    }
    while (size > 0) {
        const size_t at = size_ % blockSize_;
        const size_t n = std::min(size, blockSize_ - at);
        std::memcpy(blocks_[size_ / blockSize_].get() + at, bytes, n);
        bytes += n;
        size -= n;
        size_ += n;
    }
    return true;
}

void ConfigBody::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    size_ = 0;
    zeroAt_ = npos;
    lineFeeds_ = 0;
    scan_ = Utf8Scan();
}

std::string_view ConfigBody::Block(size_t i) const {
    if (i >= blocks_.size() || !blocks_[i]) return std::string_view();
    const size_t start = i * blockSize_;
    return std::string_view(blocks_[i].get(), std::min(blockSize_, size_ - start));
}

std::string ConfigBody::Text() const {
    std::string text;
    text.reserve(size_);
    for (size_t i = 0; i < blocks_.size(); ++i) text.append(Block(i));
    return text;
}
