// A digest text held in as few bytes as it allows: exactly N bytes' worth of hexadecimal digits
// of one case (the usual MD5 or SHA-256 text) are kept as the N bytes and that case; anything
// else keeps its text. Text() gives back exactly the text that was stored, so lists, digests
// compared as text and everything written stay as they were. No Windows header.
#pragma once

#include <cstdint>
#include <string>

template <size_t N>
class PackedDigest {
  public:
    PackedDigest() = default;
    explicit PackedDigest(const std::wstring& text) { Assign(text); }

    void Assign(const std::wstring& text) {
        kind_ = Packable(text);
        if (kind_ == kText) {
            text_ = text;
            return;
        }
        std::wstring().swap(text_);
        for (size_t i = 0; i < N; ++i) {
            bytes_[i] = static_cast<uint8_t>(Nibble(text[2 * i]) << 4 | Nibble(text[2 * i + 1]));
        }
    }

    std::wstring Text() const {
        if (kind_ == kText) return text_;
        const char* digits = kind_ == kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
        std::wstring text(2 * N, L'0');
        for (size_t i = 0; i < N; ++i) {
            text[2 * i] = static_cast<wchar_t>(digits[bytes_[i] >> 4]);
            text[2 * i + 1] = static_cast<wchar_t>(digits[bytes_[i] & 0x0F]);
        }
        return text;
    }

    // The bytes when the text was hexadecimal; null otherwise.
    const uint8_t* Bytes() const { return kind_ == kText ? nullptr : bytes_; }

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
    std::wstring text_;  // only for a text that is not packed
};
