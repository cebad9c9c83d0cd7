#include "resources/TextArena.h"

#include <algorithm>
#include <cstring>

std::wstring_view TextArena::Add(std::wstring_view text) {
    if (text.empty()) return std::wstring_view();
    wchar_t* at = nullptr;
    if (text.size() > kBlockChars / 4) {
        // A long text gets a block of its own, placed before the open one so that the open
        // block's room stays usable.
        blocks_.emplace(blocks_.empty() ? blocks_.end() : blocks_.end() - 1,
                        new wchar_t[text.size()]);
        at = (blocks_.size() == 1 ? blocks_.back() : blocks_[blocks_.size() - 2]).get();
        if (blocks_.size() == 1) room_ = 0;
    } else {
        if (room_ < text.size()) {
            blocks_.emplace_back(new wchar_t[kBlockChars]);
            room_ = kBlockChars;
        }
        at = blocks_.back().get() + (kBlockChars - room_);
        room_ -= text.size();
    }
    std::memcpy(at, text.data(), text.size() * sizeof(wchar_t));
    used_ += text.size();
    return std::wstring_view(at, text.size());
}

void TextArena::clear() {
    blocks_.clear();
    room_ = 0;
    used_ = 0;
}
