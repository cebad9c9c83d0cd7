#include "resources/TextArena.h"

#include <cstring>
#include <new>

wchar_t* TextArena::Take(size_t units, Place* place) {
    // Places beyond the limit cannot be told apart: as much text as that is more than the
    // process can hold anyway, and fails as an allocation does.
    if (units >= kPlaceLimit || (blocks_.size() + 1) * kBlockChars + units >= kPlaceLimit) {
        throw std::bad_alloc();
    }
    if (units > kBlockChars / 4) {
        // A long text gets a block of its own, so that the open block's room stays usable.
        const size_t at = blocks_.size();
        blocks_.emplace_back(new wchar_t[units]);
        blocks_.resize(at + (units + kBlockChars - 1) / kBlockChars);
        *place = static_cast<Place>(at * kBlockChars);
        used_ += units;
        return blocks_[at].get();
    }
    if (room_ < units) {
        open_ = blocks_.size();
        blocks_.emplace_back(new wchar_t[kBlockChars]);
        room_ = kBlockChars;
    }
    const size_t offset = kBlockChars - room_;
    room_ -= units;
    used_ += units;
    *place = static_cast<Place>(open_ * kBlockChars + offset);
    return blocks_[open_].get() + offset;
}

std::wstring_view TextArena::Add(std::wstring_view text) {
    if (text.empty()) return std::wstring_view();
    Place place = 0;
    wchar_t* at = Take(text.size(), &place);
    std::memcpy(at, text.data(), text.size() * sizeof(wchar_t));
    return std::wstring_view(at, text.size());
}

TextArena::Place TextArena::AddName(std::wstring_view name) {
    const size_t units = NameUnits(name.size());
    Place place = 0;
    wchar_t* at = Take(units, &place);
    if (name.size() < 0x8000) {
        *at++ = static_cast<wchar_t>(name.size());
    } else {
        *at++ = static_cast<wchar_t>(0x8000 | (name.size() >> 16 & 0x7FFF));
        *at++ = static_cast<wchar_t>(name.size() & 0xFFFF);
    }
    std::memcpy(at, name.data(), name.size() * sizeof(wchar_t));
    return place;
}

void TextArena::clear() {
    blocks_.clear();
    open_ = 0;
    room_ = 0;
    used_ = 0;
}
