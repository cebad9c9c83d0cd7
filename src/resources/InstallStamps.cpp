#include "resources/InstallStamps.h"

#include "app/TextConvert.h"
#include "resources/ManifestText.h"

namespace {

template <typename Text>
void AppendDecimal(uint64_t value, Text* text) {
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count > 0) text->push_back(digits[--count]);
}

// A plain decimal number of 1 to 20 digits that fits 64 bits.
template <typename Char>
bool ParseDecimal(const Char* begin, const Char* end, uint64_t* value) {
    if (begin == end || end - begin > 20) return false;
    uint64_t result = 0;
    for (const Char* p = begin; p != end; ++p) {
        if (*p < '0' || *p > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (result > (UINT64_MAX - digit) / 10) return false;
        result = result * 10 + digit;
    }
    *value = result;
    return true;
}

// The last '=' in [begin, end), or null.
template <typename Char>
const Char* LastEquals(const Char* begin, const Char* end) {
    while (end != begin) {
        if (*--end == '=') return end;
    }
    return nullptr;
}

// One line of wide text, or of ASCII bytes (which read as the same text): add(name, size, time,
// digest) gets its fields, the texts as [begin, end) pairs.
template <typename Char, typename Add>
void ParseLine(const Char* begin, const Char* end, const Add& add) {
    const Char* digestAt = LastEquals(begin, end);
    if (digestAt == nullptr) return;
    const Char* timeAt = LastEquals(begin, digestAt);
    if (timeAt == nullptr) return;
    const Char* sizeAt = LastEquals(begin, timeAt);
    if (sizeAt == nullptr || sizeAt == begin || digestAt + 1 == end) return;
    uint64_t size = 0;
    uint64_t writeTime = 0;
    if (!ParseDecimal(sizeAt + 1, timeAt, &size) ||
        !ParseDecimal(timeAt + 1, digestAt, &writeTime)) {
        return;
    }
    add(begin, sizeAt, size, writeTime, digestAt + 1, end);
}

// Adds to a map; the first line of a name wins.
struct AddToMap {
    InstallStampMap* stamps;

    template <typename Char>
    void operator()(const Char* name, const Char* nameEnd, uint64_t size, uint64_t writeTime,
                    const Char* digest, const Char* digestEnd) const {
        InstallStamp stamp;
        stamp.size = size;
        stamp.writeTime = writeTime;
        stamp.digest.assign(digest, digestEnd);
        std::wstring key(name, nameEnd);
        // The list is written in name order: a line mostly goes after the last one read.
        if (stamps->empty() || stamps->rbegin()->first < key) {
            stamps->emplace_hint(stamps->end(), std::move(key), std::move(stamp));
        } else {
            stamps->emplace(std::move(key), std::move(stamp));
        }
    }
};

// Adds to a table (sorted once the list is read).
struct AddToTable {
    StampTable* stamps;
    std::wstring* name;  // room for an ASCII line's texts
    std::wstring* digest;

    void operator()(const wchar_t* at, const wchar_t* atEnd, uint64_t size, uint64_t writeTime,
                    const wchar_t* text, const wchar_t* textEnd) const {
        stamps->Append(std::wstring_view(at, static_cast<size_t>(atEnd - at)), size, writeTime,
                       std::wstring_view(text, static_cast<size_t>(textEnd - text)));
    }
    void operator()(const char* at, const char* atEnd, uint64_t size, uint64_t writeTime,
                    const char* text, const char* textEnd) const {
        name->assign(at, atEnd);
        digest->assign(text, textEnd);
        stamps->Append(*name, size, writeTime, *digest);
    }
};

// Lines of UTF-8 bytes (up to the first zero byte), each as ParseLine reads the text Utf8ToText
// makes of it.
template <typename Add>
void ParseUtf8Lines(const char* bytes, size_t size, const Add& add) {
    if (bytes == nullptr) return;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == '\0') size = i;  // the text ends at a zero byte
    }
    std::string encoded;
    std::wstring line;
    const char* p = bytes;
    const char* const end = bytes + size;
    while (p != end) {
        const char* lineEnd = p;
        bool ascii = true;
        for (; lineEnd != end && *lineEnd != '\r' && *lineEnd != '\n'; ++lineEnd) {
            ascii = ascii && static_cast<unsigned char>(*lineEnd) < 0x80;
        }
        // CR and LF are never part of a longer UTF-8 sequence: a line decodes alone as it
        // would within the whole text.
        if (ascii) {
            if (lineEnd != p) ParseLine(p, lineEnd, add);
        } else {
            encoded.assign(p, lineEnd);
            Utf8ToText(encoded.c_str(), &line);
            ParseLine(line.data(), line.data() + line.size(), add);
        }
        p = lineEnd;
        while (p != end && (*p == '\r' || *p == '\n')) ++p;
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

namespace {

// "name=size=time=" of a stamp line as UTF-8 bytes; the digest and the line end follow.
void AppendStampFieldsUtf8(std::wstring_view name, uint64_t size, uint64_t writeTime,
                           std::string* bytes) {
    AppendUtf8(name, bytes);
    bytes->push_back('=');
    AppendDecimal(size, bytes);
    bytes->push_back('=');
    AppendDecimal(writeTime, bytes);
    bytes->push_back('=');
}

}  // namespace

void AppendStampLineUtf8(const std::wstring& name, const InstallStamp& stamp, std::string* bytes) {
    AppendStampFieldsUtf8(name, stamp.size, stamp.writeTime, bytes);
    AppendUtf8(stamp.digest, bytes);
    bytes->append("\r\n");
}

void AppendStampLineUtf8(const TableStamp& stamp, std::string* bytes) {
    AppendStampFieldsUtf8(stamp.name, stamp.size, stamp.writeTime, bytes);
    if (!stamp.digest.AppendHex(bytes)) AppendUtf8(stamp.digest.View(), bytes);
    bytes->append("\r\n");
}

void AppendStampLineUtf8(std::wstring_view name, const LocalRecord& record, std::string* bytes) {
    AppendStampFieldsUtf8(name, record.size, record.writeTime, bytes);
    if (!record.md5.AppendHex(bytes)) AppendUtf8(record.md5.View(), bytes);
    bytes->append("\r\n");
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
        if (lineEnd != p) ParseLine(p, lineEnd, AddToMap{stamps});
        p = lineEnd;
        while (p != end && (*p == L'\r' || *p == L'\n')) ++p;
    }
}

void ParseStampsUtf8(const char* bytes, size_t size, InstallStampMap* stamps) {
    ParseUtf8Lines(bytes, size, AddToMap{stamps});
}

void ParseStampsUtf8(const char* bytes, size_t size, StampTable* stamps) {
    std::wstring name;
    std::wstring digest;
    ParseUtf8Lines(bytes, size, AddToTable{stamps, &name, &digest});
    stamps->Sort();
}
