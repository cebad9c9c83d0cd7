#include "resources/ChunkList.h"

#include <cstring>

#include "resources/ContentChunker.h"
#include "resources/SignedConfig.h"

namespace {

const char kReferenceKey[] = "chunks=";
const char kHexDigits[] = "0123456789ABCDEF";

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t pos = 0;
    for (;;) {
        const size_t eq = line.find('=', pos);
        fields.push_back(line.substr(pos, eq == std::string::npos ? eq : eq - pos));
        if (eq == std::string::npos) return fields;
        pos = eq + 1;
    }
}

bool ParseNumber(const std::string& text, uint64_t limit, uint64_t* value) {
    if (text.empty() || text.size() > 19 || (text.size() > 1 && text[0] == '0')) return false;
    uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    if (n > limit) return false;
    *value = n;
    return true;
}

// A package directory: parts of letters, digits, "_", "-" and "." joined by "/", no part
// made of dots only.
bool IsPlainRelativePath(const std::string& path) {
    if (path.empty() || path.size() > 200) return false;
    size_t partStart = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            const std::string part = path.substr(partStart, i - partStart);
            if (part.empty() || part.find_first_not_of('.') == std::string::npos) return false;
            partStart = i + 1;
            continue;
        }
        const char c = path[i];
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                        (c >= 'A' && c <= 'Z') || c == '_' || c == '-' || c == '.';
        if (!ok) return false;
    }
    return true;
}

bool ParseDigest(const std::string& text, unsigned char* out) {
    std::string bytes;
    if (text.size() != 64 || !ParseHexBytes(text, 32, &bytes)) return false;
    std::memcpy(out, bytes.data(), 32);
    return true;
}

void AppendHex(const unsigned char* bytes, size_t size, std::string* out) {
    for (size_t i = 0; i < size; ++i) {
        out->push_back(kHexDigits[bytes[i] >> 4]);
        out->push_back(kHexDigits[bytes[i] & 0x0F]);
    }
}

}  // namespace

ChunkReferences ParseChunkReferences(std::string_view body) {
    ChunkReferences references;
    size_t pos = FindSignedPartStart(body);
    while (pos != std::string::npos && pos < body.size()) {
        size_t end = body.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = body.size();
        if (body.compare(pos, sizeof(kReferenceKey) - 1, kReferenceKey) == 0) {
            const std::vector<std::string> fields = SplitFields(
                std::string(body.substr(pos + sizeof(kReferenceKey) - 1, end - pos - 7)));
            ChunkReference reference;
            uint64_t size = 0;
            if (fields.size() == 4 && !fields[0].empty() && IsPlainRelativePath(fields[1]) &&
                fields[2].size() == 64 && ParseHexBytes(fields[2], 32, &reference.listSha256) &&
                ParseNumber(fields[3], UINT64_MAX / 2, &size)) {
                reference.listPath = fields[1];
                reference.fileSize = size;
                references.emplace(fields[0], reference);
            }
        }
        pos = end + 1;
    }
    return references;
}

std::string FormatChunkReference(const std::string& name, const ChunkReference& reference) {
    std::string line = kReferenceKey + name + "=" + reference.listPath + "=";
    AppendHex(reinterpret_cast<const unsigned char*>(reference.listSha256.data()),
              reference.listSha256.size(), &line);
    return line + "=" + std::to_string(reference.fileSize) + "\r\n";
}

std::string FormatChunkListHeader() {
    return std::string("chunker=") + ContentChunker::kChunkerName + "\r\n";
}

std::string FormatChunkEntry(const ChunkEntry& entry, const std::string& packageDir) {
    std::string line;
    line.reserve(180);
    AppendHex(entry.digest, 32, &line);
    line += "=" + std::to_string(entry.size) + "=" + packageDir + "=" +
            std::to_string(entry.offset) + "=" + std::to_string(entry.length) + "=";
    AppendHex(entry.rangeSha256, 32, &line);
    return line + "\r\n";
}

bool ParseChunkList(const std::string& text, ChunkList* list) {
    ChunkList read;
    std::map<std::string, uint32_t> packages;
    const std::string header = FormatChunkListHeader();
    if (text.compare(0, header.size(), header) != 0) return false;
    size_t pos = header.size();
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) return false;  // every line ends with "\r\n"
        const std::vector<std::string> fields = SplitFields(text.substr(pos, end - pos));
        pos = end + 2;
        ChunkEntry entry;
        uint64_t size = 0;
        uint64_t offset = 0;
        uint64_t length = 0;
        if (fields.size() != 6 || !ParseDigest(fields[0], entry.digest) ||
            !ParseNumber(fields[1], ContentChunker::kMaxSize, &size) || size == 0 ||
            !IsPlainRelativePath(fields[2]) || !ParseNumber(fields[3], INT64_MAX / 2, &offset) ||
            !ParseNumber(fields[4], INT32_MAX, &length) || length == 0 ||
            !ParseDigest(fields[5], entry.rangeSha256)) {
            return false;
        }
        entry.size = static_cast<uint32_t>(size);
        entry.offset = static_cast<int64_t>(offset);
        entry.length = static_cast<uint32_t>(length);
        const auto known = packages.emplace(fields[2], static_cast<uint32_t>(packages.size()));
        if (known.second) read.packageDirs.push_back(fields[2]);
        entry.package = known.first->second;
        read.fileSize += size;
        read.chunks.push_back(entry);
    }
    if (read.chunks.empty()) return false;
    *list = std::move(read);
    return true;
}
