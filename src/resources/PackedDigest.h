// A digest text held in as few bytes as it allows: exactly N bytes' worth of hexadecimal digits
// of one case (the usual MD5 or SHA-256 text) are kept as the N bytes and that case; anything
// else keeps its text. Text() gives back exactly the text that was stored, so lists, digests
// compared as text and everything written stay as they were. It stands in for the text where
// one is expected (assignment, comparison, conversion). No Windows header.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

template <size_t N>
class PackedDigest {
  public:
    PackedDigest() = default;
    explicit PackedDigest(const std::wstring& text) { Assign(text); }
    PackedDigest(const PackedDigest& other) { *this = other; }
    PackedDigest(PackedDigest&&) noexcept = default;
    PackedDigest& operator=(PackedDigest&&) noexcept = default;
    PackedDigest& operator=(const PackedDigest& other) {
        if (this == &other) return *this;
        kind_ = other.kind_;
        std::memcpy(bytes_, other.bytes_, N);
        text_.reset(other.text_ ? new std::wstring(*other.text_) : nullptr);
        return *this;
    }
    PackedDigest& operator=(const std::wstring& text) {
        Assign(text);
        return *this;
    }

    void Assign(const std::wstring& text) {
        kind_ = Packable(text);
        if (kind_ == kText) {
            text_.reset(text.empty() ? nullptr : new std::wstring(text));
            return;
        }
        text_.reset();
        for (size_t i = 0; i < N; ++i) {
            bytes_[i] = static_cast<uint8_t>(Nibble(text[2 * i]) << 4 | Nibble(text[2 * i + 1]));
        }
    }

    std::wstring Text() const {
        if (kind_ == kText) return text_ ? *text_ : std::wstring();
        const char* digits = kind_ == kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
        std::wstring text(2 * N, L'0');
        for (size_t i = 0; i < N; ++i) {
            text[2 * i] = static_cast<wchar_t>(digits[bytes_[i] >> 4]);
            text[2 * i + 1] = static_cast<wchar_t>(digits[bytes_[i] & 0x0F]);
        }
        return text;
    }
    operator std::wstring() const { return Text(); }  // NOLINT: stands in for the text
    bool empty() const { return kind_ == kText && !text_; }
    void clear() {
        kind_ = kText;
        text_.reset();
    }

    // Appends the hexadecimal text of packed bytes to out; false (out untouched) for a digest
    // kept as text.
    bool AppendHex(std::string* out) const {
        if (kind_ == kText) return false;
        const char* digits = kind_ == kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
        for (size_t i = 0; i < N; ++i) {
            out->push_back(digits[bytes_[i] >> 4]);
            out->push_back(digits[bytes_[i] & 0x0F]);
        }
        return true;
    }

    // The bytes when the text was hexadecimal; null otherwise.
    const uint8_t* Bytes() const { return kind_ == kText ? nullptr : bytes_; }

    friend bool operator==(const PackedDigest& a, const PackedDigest& b) {
        if (a.kind_ != kText && a.kind_ == b.kind_) return std::memcmp(a.bytes_, b.bytes_, N) == 0;
        return a.Text() == b.Text();
    }
    friend bool operator==(const PackedDigest& a, const std::wstring& b) { return a.Text() == b; }
    friend bool operator==(const std::wstring& a, const PackedDigest& b) { return a == b.Text(); }
    friend bool operator!=(const PackedDigest& a, const PackedDigest& b) { return !(a == b); }
    friend bool operator!=(const PackedDigest& a, const std::wstring& b) { return !(a == b); }
    friend bool operator!=(const std::wstring& a, const PackedDigest& b) { return !(a == b); }

  private:
    enum : uint8_t { kText, kLower, kUpper };

    static int Nibble(wchar_t c) {
        if (c >= L'0' && c <= L'9') return c - L'0';
        if (c >= L'a' && c <= L'f') return c - L'a' + 10;
        if (c >= L'A' && c <= L'F') return c - L'A' + 10;
        return -1;
    }

    // kLower or kUpper when text is 2N hexadecimal digits whose letters (if any) are all of one
    // case; a text of digits only counts as lower case, which writes it back the same.
    static uint8_t Packable(const std::wstring& text) {
        if (text.size() != 2 * N) return kText;
        bool lower = false;
        bool upper = false;
        for (wchar_t c : text) {
            if (Nibble(c) < 0) return kText;
            lower = lower || (c >= L'a' && c <= L'f');
            upper = upper || (c >= L'A' && c <= L'F');
        }
        if (lower && upper) return kText;
        return upper ? kUpper : kLower;
    }

    uint8_t kind_ = kText;
    uint8_t bytes_[N] = {};
    std::unique_ptr<std::wstring> text_;  // only for a text that is not packed (and not empty)
};
