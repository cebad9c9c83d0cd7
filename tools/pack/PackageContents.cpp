#include "PackageContents.h"

#include <cstdlib>

const wchar_t kContentsFileName[] = L"contents.txt";

namespace {

bool ParseNumber(const std::string& text, int64_t limit, int64_t* value) {
    if (text.empty() || text.size() > 18) return false;
    int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n > limit) return false;
    *value = n;
    return true;
}

// Upper-case hexadecimal digits only, two for each byte of bytes.
bool ParseDigest(const std::string& text, unsigned char* bytes, size_t size) {
    if (text.size() != size * 2) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (v < 0) return false;
        bytes[i / 2] = static_cast<unsigned char>(i % 2 == 0 ? v << 4 : bytes[i / 2] | v);
    }
    return true;
}

void AppendHex(const unsigned char* bytes, size_t size, std::string* text) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < size; ++i) {
        text->push_back(kDigits[bytes[i] >> 4]);
        text->push_back(kDigits[bytes[i] & 0x0F]);
    }
}

}  // namespace

std::string StoredStream::Md5Hex() const {
    std::string text;
    AppendHex(md5, sizeof(md5), &text);
    return text;
}

void AppendPackageContentsLine(const StoredStream& s, std::string* text) {
    AppendHex(s.md5, sizeof(s.md5), text);
    *text += "=" + std::to_string(s.size) + "=" + std::to_string(s.offset) + "=" +
             std::to_string(s.length);
    if (s.hasSha256) {
        text->push_back('=');
        AppendHex(s.sha256, sizeof(s.sha256), text);
    }
    *text += "\r\n";
}

std::string FormatPackageContents(const std::vector<StoredStream>& streams) {
    std::string text;
    for (const StoredStream& s : streams) AppendPackageContentsLine(s, &text);
    return text;
}

bool ParsePackageContents(const std::string& text, std::vector<StoredStream>* streams) {
    int64_t end = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find("\r\n", pos);
        if (eol == std::string::npos) return false;
        const std::string line = text.substr(pos, eol - pos);
        pos = eol + 2;
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t eq; (eq = line.find('=', start)) != std::string::npos; start = eq + 1) {
            fields.push_back(line.substr(start, eq - start));
        }
        fields.push_back(line.substr(start));
        StoredStream s;
        int64_t length = 0;
        if (fields.size() == 5 && ParseDigest(fields[4], s.sha256, sizeof(s.sha256))) {
            s.hasSha256 = true;
            fields.pop_back();
        }
        if (fields.size() != 4 || !ParseDigest(fields[0], s.md5, sizeof(s.md5)) ||
            !ParseNumber(fields[1], INT64_MAX, &s.size) ||
            !ParseNumber(fields[2], INT64_MAX, &s.offset) ||
            !ParseNumber(fields[3], INT32_MAX, &length) || length == 0 || s.offset != end) {
            return false;
        }
        s.length = static_cast<int32_t>(length);
        end = s.offset + length;
        streams->push_back(s);
    }
    return true;
}
