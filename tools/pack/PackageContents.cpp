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

bool IsDigest(const std::string& text, size_t size = 32) {
    if (text.size() != size) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

}  // namespace

std::string FormatPackageContents(const std::vector<StoredStream>& streams) {
    std::string text;
    for (const StoredStream& s : streams) {
        text += s.md5 + "=" + std::to_string(s.size) + "=" + std::to_string(s.offset) + "=" +
                std::to_string(s.length) + (s.sha256.empty() ? "" : "=" + s.sha256) + "\r\n";
    }
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
        if (fields.size() == 5 && IsDigest(fields[4], 64)) {
            s.sha256 = fields[4];
            fields.pop_back();
        }
        if (fields.size() != 4 || !IsDigest(fields[0]) ||
            !ParseNumber(fields[1], INT64_MAX, &s.size) ||
            !ParseNumber(fields[2], INT64_MAX, &s.offset) ||
            !ParseNumber(fields[3], INT32_MAX, &length) || length == 0 || s.offset != end) {
            return false;
        }
        s.md5 = fields[0];
        s.length = static_cast<int32_t>(length);
        end = s.offset + length;
        streams->push_back(s);
    }
    return true;
}
