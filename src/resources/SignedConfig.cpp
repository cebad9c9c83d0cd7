#include "resources/SignedConfig.h"

#include <cstdio>
#include <cstring>

#include "resources/LineEnd.h"

namespace {

const size_t kSignatureSize = 64;
const char kSignatureKey[] = "signature=";

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool IsBlankByte(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = y / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool ParseDigits(const std::string& text, size_t from, size_t count, int64_t* value) {
    int64_t n = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        n = n * 10 + (text[i] - '0');
    }
    *value = n;
    return true;
}

bool IsReleaseName(const std::string& text) {
    if (text.empty() || text.size() > 64) return false;
    for (char c : text) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum && c != '.' && c != '_' && c != '-') return false;
    }
    return true;
}

// A field name: lower-case letters, digits and "-".
bool IsFieldName(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
    }
    return true;
}

}  // namespace

size_t FindSignedPartStart(std::string_view body) {
    size_t pos = 0;
    while (pos < body.size()) {
        while (pos < body.size() && IsLineEnd(body[pos])) ++pos;
        if (pos == body.size()) break;
        size_t end = pos;
        while (end < body.size() && IsBlankByte(body[end])) ++end;
        if (end == body.size() || IsLineEnd(body[end])) return pos;
        pos = FindLineEnd(body.data(), end, body.size());
    }
    return std::string::npos;
}

namespace {

// The signed part of a body whose bytes from offset on are text (which starts at the blank
// line); zeroBefore: a zero byte lies before it.
bool ParseSignedTail(std::string_view text, size_t offset, bool zeroBefore, SignedPart* part) {
    if (zeroBefore || text.find('\0') != std::string_view::npos) return false;
    size_t pos = 0;
    while (pos < text.size() && !IsLineEnd(text[pos])) ++pos;  // the blank line
    SignedPart read;
    bool haveRelease = false;
    bool haveSerial = false;
    bool haveSigned = false;
    bool haveExpires = false;
    for (;;) {
        while (pos < text.size() && IsLineEnd(text[pos])) ++pos;
        if (pos == text.size()) return false;  // no signature line
        size_t end = pos;
        while (end < text.size() && !IsLineEnd(text[end])) ++end;
        const std::string line(text.substr(pos, end - pos));
        const size_t eq = line.find('=');
        if (eq == std::string::npos || !IsFieldName(line.substr(0, eq))) return false;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "signature") {
            if (!ParseHexBytes(value, kSignatureSize, &read.signature) || value.size() != 128) {
                return false;
            }
            for (size_t rest = end; rest < text.size(); ++rest) {
                if (!IsLineEnd(text[rest])) return false;
            }
            if (!haveRelease || !haveSerial || !haveSigned) return false;
            read.signedLength = offset + pos;
            *part = read;
            return true;
        }
        if (key == "release") {
            if (haveRelease || !IsReleaseName(value)) return false;
            read.release = value;
            haveRelease = true;
        } else if (key == "serial") {
            int64_t serial = 0;
            if (haveSerial || value.empty() || value.size() > 18 || value[0] == '0' ||
                !ParseDigits(value, 0, value.size(), &serial)) {
                return false;
            }
            read.serial = static_cast<uint64_t>(serial);
            haveSerial = true;
        } else if (key == "signed") {
            if (haveSigned || !ParseUtcTime(value, &read.signedAt)) return false;
            haveSigned = true;
        } else if (key == "expires") {
            if (haveExpires || !ParseUtcTime(value, &read.expiresAt) || read.expiresAt <= 0) {
                return false;
            }
            haveExpires = true;
        } else {
            // A later field: covered by the signature, read by later launchers.
            for (char c : value) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
            }
        }
        pos = end;
    }
}

}  // namespace

bool ParseSignedPart(const std::string& body, SignedPart* part) {
    const size_t start = FindSignedPartStart(body);
    if (start == std::string::npos) return false;
    return ParseSignedTail(std::string_view(body).substr(start), start,
                           std::memchr(body.data(), '\0', start) != nullptr, part);
}

bool ParseSignedPart(const ConfigTail& tail, SignedPart* part) {
    if (tail.offset == std::string::npos) return false;
    return ParseSignedTail(tail.text, tail.offset, tail.zeroBefore, part);
}

std::string FormatSignedFields(const SignedPart& part) {
    std::string text = " \r\nrelease=" + part.release +
                       "\r\nserial=" + std::to_string(part.serial) +
                       "\r\nsigned=" + FormatUtcTime(part.signedAt) + "\r\n";
    if (part.expiresAt > 0) text += "expires=" + FormatUtcTime(part.expiresAt) + "\r\n";
    return text;
}

std::string FormatSignatureLine(const std::string& signature) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string line = kSignatureKey;
    for (unsigned char b : signature) {
        line.push_back(kDigits[b >> 4]);
        line.push_back(kDigits[b & 0x0F]);
    }
    return line + "\r\n";
}

std::string KeyValueOf(const std::string& text, const std::string& key) {
    const std::string prefix = key + "=";
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        if (text.compare(pos, prefix.size(), prefix) == 0) {
            return text.substr(pos + prefix.size(), end - pos - prefix.size());
        }
        pos = end + 1;
    }
    return std::string();
}

bool ParseUtcTime(const std::string& text, int64_t* seconds) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return false;
    }
    int64_t y, mo, d, h, mi, s;
    if (!ParseDigits(text, 0, 4, &y) || !ParseDigits(text, 5, 2, &mo) ||
        !ParseDigits(text, 8, 2, &d) || !ParseDigits(text, 11, 2, &h) ||
        !ParseDigits(text, 14, 2, &mi) || !ParseDigits(text, 17, 2, &s)) {
        return false;
    }
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] + (mo == 2 && leap ? 1 : 0) ||
        h > 23 || mi > 59 || s > 59) {
        return false;
    }
    *seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return true;
}

std::string FormatUtcTime(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const int64_t days = seconds / 86400;
    const int64_t rest = seconds % 86400;
    // Civil date of a day count (inverse of DaysFromCivil).
    const int64_t z = days + 719468;
    const int64_t era = z / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char text[32];
    std::snprintf(text, sizeof(text), "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(y), static_cast<long long>(m), static_cast<long long>(d),
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60));
    return text;
}

bool ParseHexBytes(const std::string& text, size_t size, std::string* bytes) {
    size_t from = 0;
    size_t to = text.size();
    while (from < to && (IsBlankByte(text[from]) || IsLineEnd(text[from]))) ++from;
    while (to > from && (IsBlankByte(text[to - 1]) || IsLineEnd(text[to - 1]))) --to;
    if (to - from != 2 * size) return false;
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        const int high = HexValue(text[from + 2 * i]);
        const int low = HexValue(text[from + 2 * i + 1]);
        if (high < 0 || low < 0) return false;
        out[i] = static_cast<char>(high * 16 + low);
    }
    bytes->swap(out);
    return true;
}

bool IsSha256DigestText(const std::wstring& digest) {
    if (digest.size() != 64) return false;
    for (wchar_t c : digest) {
        if (c > 0x7F || HexValue(static_cast<char>(c)) < 0) return false;
    }
    return true;
}

const char* ConfigCheckText(ConfigCheckResult result) {
    switch (result) {
        case ConfigAccepted:
            return "accepted";
        case ConfigUnsigned:
            return "unsigned";
        case ConfigBadSignature:
            return "bad-signature";
        case ConfigRolledBack:
            return "older-serial";
        case ConfigExpired:
            return "expired";
        case ConfigNoDigest:
            return "no-sha256";
    }
    return "unknown";
}

ConfigCheckResult CheckSignedPart(
    const ConfigTail& tail, uint64_t acceptedSerial, int64_t now,
    const std::function<bool(std::string_view signedTail, const std::string& signature)>& verify,
    SignedPart* part) {
    SignedPart read;
    if (!ParseSignedPart(tail, &read)) return ConfigUnsigned;
    const std::string_view signedTail(tail.text.data(), read.signedLength - tail.offset);
    if (!verify || !verify(signedTail, read.signature)) return ConfigBadSignature;
    if (read.serial < acceptedSerial) return ConfigRolledBack;
    if (read.expiresAt > 0 && now >= read.expiresAt) return ConfigExpired;
    if (part) *part = read;
    return ConfigAccepted;
}
