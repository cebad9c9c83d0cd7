#include "app/LogLine.h"

#include <cstdio>

namespace {

void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Length of the well-formed UTF-8 sequence starting at bytes[i] (2 to 4), or 0.
size_t SequenceLength(const std::string& bytes, size_t i) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    size_t length = 0;
    uint32_t low = 0;  // smallest code point of that length: longer forms are refused
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, low = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, low = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, low = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) return 0;
    uint32_t code = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const unsigned char c = static_cast<unsigned char>(bytes[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        code = (code << 6) | (c & 0x3F);
    }
    if (code < low || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool NeedsQuotes(const std::string& value) {
    if (value.empty()) return true;
    for (size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (c <= 0x20 || c == 0x7F || c == '"' || c == '=' || c == '\\') return true;
        if (c >= 0x80) {
            const size_t n = SequenceLength(value, i);
            if (n == 0) return true;
            i += n - 1;
        }
    }
    return false;
}

void AppendHex(unsigned char c, std::string* out) {
    char text[8];
    std::snprintf(text, sizeof(text), "\\x%02X", c);
    out->append(text);
}

}  // namespace

LogField::LogField(const char* name, const std::wstring& text)
    : key(name), value(WideToUtf8(text)) {}

LogField::LogField(const char* name, const wchar_t* text)
    : key(name), value(WideToUtf8(text ? std::wstring(text) : std::wstring())) {}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = static_cast<uint16_t>(text[i]);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
            const uint32_t next = static_cast<uint16_t>(text[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;
        AppendUtf8(code, &out);
    }
    return out;
}

std::string QuoteLogValue(const std::string& value) {
    if (!NeedsQuotes(value)) return value;
    std::string out = "\"";
    for (size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        switch (c) {
            case '"':
                out += "\\\"";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        if (c < 0x20 || c == 0x7F) {
            AppendHex(c, &out);
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            const size_t n = SequenceLength(value, i);
            if (n == 0) {
                AppendHex(c, &out);
            } else {
                out.append(value, i, n);
                i += n - 1;
            }
        }
    }
    out.push_back('"');
    return out;
}

std::string FormatLogLine(const LogTime& time, uint32_t processId, uint32_t threadId,
                          const char* event, const LogField* fields, size_t count) {
    char head[96];
    std::snprintf(head, sizeof(head), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ %u/%u ", time.year,
                  time.month, time.day, time.hour, time.minute, time.second, time.millisecond,
                  static_cast<unsigned>(processId), static_cast<unsigned>(threadId));
    std::string line = head;
    // The event name is the caller's fixed text; it is checked like a value all the same.
    const std::string name = event != nullptr && *event != '\0' ? event : "event";
    line += NeedsQuotes(name) ? QuoteLogValue(name) : name;
    for (size_t i = 0; i < count; ++i) {
        line.push_back(' ');
        const std::string key = fields[i].key != nullptr ? fields[i].key : "";
        line += NeedsQuotes(key) ? QuoteLogValue(key) : key;
        line.push_back('=');
        line += QuoteLogValue(fields[i].value);
    }
    line += "\r\n";
    return line;
}
