#include "resources/ContentDigest.h"

namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

bool IsMd5DigestText(const std::wstring& digest) {
    if (digest.size() != 32) return false;
    for (wchar_t c : digest) {
        if (HexValue(c) < 0) return false;
    }
    return true;
}

bool DigestMatches(const std::string& digestBytes, const std::wstring& digest) {
    if (digestBytes.size() != 16 || !IsMd5DigestText(digest)) return false;
    for (size_t i = 0; i < 16; ++i) {
        const int value = HexValue(digest[2 * i]) * 16 + HexValue(digest[2 * i + 1]);
        if (static_cast<unsigned char>(digestBytes[i]) != value) return false;
    }
    return true;
}
