// A digest text held in as few bytes as it allows: exactly N bytes' worth of hexadecimal digits
// of one case (the usual MD5 or SHA-256 text) are kept as the N bytes and that case; anything
// else keeps its text. Text() gives back exactly the text that was stored, so lists, digests
// compared as text and everything written stay as they were. It stands in for the text where
// one is expected (assignment, comparison, conversion).
//
// A text that is not packed is either the digest's own (on the heap) or, for digests kept in a
// list, a view of the list's TextArena (Keep): then the digest holds no pointer of its own and
// is N + 1 bytes. A copy always owns its text, so a copy outlives the list it came from; a move
// takes the digest as it is. No Windows header.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "resources/TextArena.h"

namespace packed_digest {

// Each ASCII character's value as a hexadecimal digit, with kLowerLetter or kUpperLetter for a
// letter; kNotHex for any other character.
enum : uint8_t { kLowerLetter = 0x10, kUpperLetter = 0x20, kNotHex = 0x80 };
struct HexTable {
    uint8_t value[128];
    constexpr HexTable() : value() {
        for (int c = 0; c < 128; ++c) value[c] = kNotHex;
        for (int i = 0; i < 10; ++i) value['0' + i] = static_cast<uint8_t>(i);
        for (int i = 0; i < 6; ++i) {
            value['a' + i] = static_cast<uint8_t>(kLowerLetter | (10 + i));
            value['A' + i] = static_cast<uint8_t>(kUpperLetter | (10 + i));
        }
    }
};
inline constexpr HexTable kHex{};

}  // namespace packed_digest

template <size_t N>
class PackedDigest {
    static_assert(N >= sizeof(const wchar_t*) + sizeof(size_t), "room for a text's place");

  public:
    PackedDigest() = default;
    explicit PackedDigest(const std::wstring& text) { Assign(text); }
    PackedDigest(const PackedDigest& other) { CopyFrom(other); }
    PackedDigest(PackedDigest&& other) noexcept { TakeFrom(&other); }
    ~PackedDigest() { Release(); }
    PackedDigest& operator=(PackedDigest&& other) noexcept {
        if (this != &other) {
            Release();
            TakeFrom(&other);
        }
        return *this;
    }
    PackedDigest& operator=(const PackedDigest& other) {
        if (this != &other) {
            Release();
            CopyFrom(other);
        }
        return *this;
    }
    PackedDigest& operator=(const std::wstring& text) {
        Assign(text);
        return *this;
    }

    void Assign(const std::wstring& text) { Set(text, nullptr); }
    // The same, an unpacked text kept in arena (which must outlive this digest and its moves).
    void Assign(std::wstring_view text, TextArena* arena) { Set(text, arena); }
    // Takes other's digest, an unpacked text kept in arena.
    void Keep(const PackedDigest& other, TextArena* arena) {
        if (other.IsText()) {
            Set(other.View(), arena);
        } else if (this != &other) {
            Release();
            kind_ = other.kind_;
            std::memcpy(bytes_, other.bytes_, N);
        }
    }

    std::wstring Text() const {
        if (!IsPacked()) return std::wstring(View());
        std::wstring text(2 * N, L'0');
        const char* digits = Digits();
        for (size_t i = 0; i < N; ++i) {
            text[2 * i] = static_cast<wchar_t>(digits[bytes_[i] >> 4]);
            text[2 * i + 1] = static_cast<wchar_t>(digits[bytes_[i] & 0x0F]);
        }
        return text;
    }
    operator std::wstring() const { return Text(); }  // NOLINT: stands in for the text
    bool empty() const { return kind_ == kEmpty; }
    void clear() {
        Release();
        kind_ = kEmpty;
    }
    // The text when it is not packed (empty for a packed one).
    std::wstring_view View() const {
        if (!IsText()) return std::wstring_view();
        const wchar_t* data = nullptr;
        size_t size = 0;
        std::memcpy(&data, bytes_, sizeof(data));
        std::memcpy(&size, bytes_ + sizeof(data), sizeof(size));
        return std::wstring_view(data, size);
    }
    // True when an unpacked text is kept in an arena.
    bool InArena() const { return kind_ == kArena; }

    // Appends the hexadecimal text of packed bytes to out; false (out untouched) for a digest
    // kept as text.
    bool AppendHex(std::string* out) const {
        if (!IsPacked()) return false;
        const char* digits = Digits();
        for (size_t i = 0; i < N; ++i) {
            out->push_back(digits[bytes_[i] >> 4]);
            out->push_back(digits[bytes_[i] & 0x0F]);
        }
        return true;
    }

    // The bytes when the text was hexadecimal; null otherwise.
    const uint8_t* Bytes() const { return IsPacked() ? bytes_ : nullptr; }

    friend bool operator==(const PackedDigest& a, const PackedDigest& b) {
        // A text is packed whenever it can be: a packed digest never equals an unpacked one.
        if (a.IsPacked() && b.IsPacked()) {
            return a.kind_ == b.kind_ && std::memcmp(a.bytes_, b.bytes_, N) == 0;
        }
        return !a.IsPacked() && !b.IsPacked() && a.View() == b.View();
    }
    friend bool operator==(const PackedDigest& a, const std::wstring& b) {
        return a.IsPacked() ? a.Text() == b : a.View() == std::wstring_view(b);
    }
    friend bool operator==(const std::wstring& a, const PackedDigest& b) { return b == a; }
    friend bool operator!=(const PackedDigest& a, const PackedDigest& b) { return !(a == b); }
    friend bool operator!=(const PackedDigest& a, const std::wstring& b) { return !(a == b); }
    friend bool operator!=(const std::wstring& a, const PackedDigest& b) { return !(a == b); }

  private:
    // kEmpty: no text; kLower/kUpper: packed; kOwned: a text of its own on the heap; kArena: a
    // text in a list's arena. Both texts' place is kept in bytes_.
    enum : uint8_t { kEmpty, kLower, kUpper, kOwned, kArena };

    bool IsPacked() const { return kind_ == kLower || kind_ == kUpper; }
    bool IsText() const { return kind_ == kOwned || kind_ == kArena; }
    const char* Digits() const { return kind_ == kUpper ? "0123456789ABCDEF" : "0123456789abcdef"; }

    static uint8_t HexClass(wchar_t c) {
        using packed_digest::kHex;
        return static_cast<uint32_t>(c) < 128 ? kHex.value[c]
                                              : static_cast<uint8_t>(packed_digest::kNotHex);
    }

    // Packs text into packed in one pass: kLower or kUpper when text is 2N hexadecimal digits
    // whose letters (if any) are all of one case (a text of digits only counts as lower case,
    // which writes it back the same); kOwned for any other text but the empty one.
    static uint8_t Pack(std::wstring_view text, uint8_t* packed) {
        if (text.empty()) return kEmpty;
        if (text.size() != 2 * N) return kOwned;
        uint8_t seen = 0;
        for (size_t i = 0; i < N; ++i) {
            const uint8_t high = HexClass(text[2 * i]);
            const uint8_t low = HexClass(text[2 * i + 1]);
            seen |= high | low;
            packed[i] = static_cast<uint8_t>((high & 0x0F) << 4 | (low & 0x0F));
        }
        using namespace packed_digest;
        if ((seen & kNotHex) != 0) return kOwned;
        const uint8_t letters = seen & (kLowerLetter | kUpperLetter);
        if (letters == (kLowerLetter | kUpperLetter)) return kOwned;
        return letters == kUpperLetter ? kUpper : kLower;
    }

    void SetPlace(const wchar_t* data, size_t size) {
        std::memcpy(bytes_, &data, sizeof(data));
        std::memcpy(bytes_ + sizeof(data), &size, sizeof(size));
    }

    void Set(std::wstring_view text, TextArena* arena) {
        uint8_t packed[N];
        const uint8_t kind = Pack(text, packed);
        if (kind == kOwned) {
            // The text may be this digest's own: placed anew before the old one goes.
            const wchar_t* data = nullptr;
            if (arena != nullptr) {
                data = arena->Add(text).data();
            } else {
                wchar_t* copy = new wchar_t[text.size()];
                std::memcpy(copy, text.data(), text.size() * sizeof(wchar_t));
                data = copy;
            }
            Release();
            kind_ = arena != nullptr ? kArena : kOwned;
            SetPlace(data, text.size());
            return;
        }
        Release();
        kind_ = kind;
        if (kind != kEmpty) std::memcpy(bytes_, packed, N);
    }

    void CopyFrom(const PackedDigest& other) {
        if (other.IsText()) {
            kind_ = kEmpty;
            Set(other.View(), nullptr);
            return;
        }
        kind_ = other.kind_;
        std::memcpy(bytes_, other.bytes_, N);
    }

    void TakeFrom(PackedDigest* other) {
        kind_ = other->kind_;
        std::memcpy(bytes_, other->bytes_, N);
        other->kind_ = kEmpty;
    }

    void Release() {
        if (kind_ == kOwned) delete[] View().data();
        kind_ = kEmpty;
    }

    uint8_t kind_ = kEmpty;
    uint8_t bytes_[N] = {};
};
