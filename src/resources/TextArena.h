// Texts of a list held one after another in large blocks that never move, so that a view of a
// text stays valid until the arena is cleared or dropped. Texts are never freed one by one: a
// holder counts what it no longer uses and builds a fresh arena when that is much.
//
// A name is kept with its length before it and found again from its place, a 32-bit number, so
// that a list's entry refers to its name in 4 bytes instead of a view's 16. Places stay below
// kPlaceLimit: an arena holds fewer than 2^31 units (4 GiB of text, far beyond any list read:
// a configuration's body is at most 256 MiB). No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

class TextArena {
  public:
    using Place = uint32_t;
    static const Place kPlaceLimit = 0x80000000u;

    TextArena() = default;
    // The texts move with the blocks (their views and places stay valid); the source is left
    // empty.
    TextArena(TextArena&& other) noexcept { *this = std::move(other); }
    TextArena& operator=(TextArena&& other) noexcept {
        if (this != &other) {
            blocks_ = std::move(other.blocks_);
            open_ = other.open_;
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
    // A copy of a name, with its length, and the place it is found at again (Name).
    Place AddName(std::wstring_view name);
    // The name added at place.
    std::wstring_view Name(Place place) const {
        const wchar_t* at = blocks_[place / kBlockChars].get() + place % kBlockChars;
        size_t size = static_cast<uint16_t>(at[0]);
        if (size < 0x8000) return std::wstring_view(at + 1, size);
        size = (size & 0x7FFF) << 16 | static_cast<uint16_t>(at[1]);
        return std::wstring_view(at + 2, size);
    }
    // The units a name of that size takes in an arena (its length included).
    static size_t NameUnits(size_t size) { return size + (size < 0x8000 ? 1 : 2); }

    void clear();
    // Units held (the texts' own and the names' lengths, not the blocks' free room).
    size_t used() const { return used_; }

  private:
    static const size_t kBlockChars = 16384;

    // Room for units characters: where it starts and its place.
    wchar_t* Take(size_t units, Place* place);

    // The blocks in place order: a long text's block is followed by empty ones for the rest of
    // its length, so that a place divided by kBlockChars is always the index of its block.
    std::vector<std::unique_ptr<wchar_t[]>> blocks_;
    size_t open_ = 0;  // the block short texts go into (when room_ is not 0)
    size_t room_ = 0;  // characters free at its end
    size_t used_ = 0;
};
