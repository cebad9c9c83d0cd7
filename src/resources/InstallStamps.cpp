#include "resources/InstallStamps.h"

namespace {

void AppendDecimal(uint64_t value, std::wstring* text) {
    wchar_t digits[24];
    size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count > 0) text->push_back(digits[--count]);
}

// A plain decimal number of 1 to 20 digits that fits 64 bits.
bool ParseDecimal(const wchar_t* begin, const wchar_t* end, uint64_t* value) {
    if (begin == end || end - begin > 20) return false;
    uint64_t result = 0;
    for (const wchar_t* p = begin; p != end; ++p) {
        if (*p < L'0' || *p > L'9') return false;
        const uint64_t digit = static_cast<uint64_t>(*p - L'0');
        if (result > (UINT64_MAX - digit) / 10) return false;
        result = result * 10 + digit;
    }
    *value = result;
    return true;
}

// The last '=' in [begin, end), or null.
const wchar_t* LastEquals(const wchar_t* begin, const wchar_t* end) {
    while (end != begin) {
        if (*--end == L'=') return end;
    }
    return nullptr;
}

void ParseLine(const wchar_t* begin, const wchar_t* end, InstallStampMap* stamps) {
    const wchar_t* digestAt = LastEquals(begin, end);
    if (digestAt == nullptr) return;
    const wchar_t* timeAt = LastEquals(begin, digestAt);
    if (timeAt == nullptr) return;
    const wchar_t* sizeAt = LastEquals(begin, timeAt);
    if (sizeAt == nullptr || sizeAt == begin || digestAt + 1 == end) return;
    InstallStamp stamp;
    if (!ParseDecimal(sizeAt + 1, timeAt, &stamp.size) ||
        !ParseDecimal(timeAt + 1, digestAt, &stamp.writeTime)) {
        return;
    }
    stamp.digest.assign(digestAt + 1, end);
    std::wstring name(begin, sizeAt);
    // The list is written in name order: a line mostly goes after the last one read.
    if (stamps->empty() || stamps->rbegin()->first < name) {
        stamps->emplace_hint(stamps->end(), std::move(name), std::move(stamp));
    } else {
        stamps->emplace(std::move(name), std::move(stamp));
    }
}

}  // namespace

void AppendStampLine(const std::wstring& name, const InstallStamp& stamp, std::wstring* text) {
    text->append(name);
    text->push_back(L'=');
    AppendDecimal(stamp.size, text);
    text->push_back(L'=');
    AppendDecimal(stamp.writeTime, text);
    text->push_back(L'=');
    text->append(stamp.digest);
    text->append(L"\r\n");
}

void FormatStampsText(const InstallStampMap& stamps, std::wstring* text) {
    for (const auto& entry : stamps) AppendStampLine(entry.first, entry.second, text);
}

void ParseStampsText(const std::wstring& text, InstallStampMap* stamps) {
    const wchar_t* p = text.data();
    const wchar_t* const end = p + text.size();
    while (p != end) {
        const wchar_t* lineEnd = p;
        while (lineEnd != end && *lineEnd != L'\r' && *lineEnd != L'\n') ++lineEnd;
        if (lineEnd != p) ParseLine(p, lineEnd, stamps);
        p = lineEnd;
        while (p != end && (*p == L'\r' || *p == L'\n')) ++p;
    }
}
