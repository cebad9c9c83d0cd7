// Texts of a list held one after another in large blocks that never move, so that a view of a
// text stays valid until the arena is cleared or dropped. Texts are never freed one by one: a
// holder counts what it no longer uses and builds a fresh arena when that is much. No Windows
// header.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

class TextArena {
  public:
    TextArena() = default;
    // The texts move with the blocks (their views stay valid); the source is left empty.
    TextArena(TextArena&& other) noexcept { *this = std::move(other); }
    TextArena& operator=(TextArena&& other) noexcept {
        if (this != &other) {
            blocks_ = std::move(other.blocks_);
            room_ = other.room_;
            used_ = other.used_;
            other.clear();
        }
        return *this;
    }
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    // A copy of text in the arena (an empty text takes no room).
    std::wstring_view Add(std::wstring_view text);
    void clear();
    // Characters held (the texts' own, not the blocks' free room).
    size_t used() const { return used_; }

  private:
    static const size_t kBlockChars = 16384;

    std::vector<std::unique_ptr<wchar_t[]>> blocks_;
    size_t room_ = 0;  // characters free at the end of the last block
    size_t used_ = 0;
};
