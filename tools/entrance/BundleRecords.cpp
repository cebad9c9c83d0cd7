#include "BundleRecords.h"

#include <cstdint>

#include "app/TextConvert.h"
#include "resources/ConfigNameCollisions.h"

namespace {

// Reads a little-endian 32-bit length at pos; false when fewer than four bytes are left.
bool ReadLength(const std::string& bytes, size_t* pos, uint32_t* value) {
    if (bytes.size() - *pos < 4) return false;
    *value = 0;
    for (int i = 3; i >= 0; --i) {
        *value = (*value << 8) | static_cast<uint8_t>(bytes[*pos + i]);
    }
    *pos += 4;
    return true;
}

// Reads length bytes at pos; false when the file is shorter.
bool ReadPiece(const std::string& bytes, size_t* pos, uint32_t length, std::string* out) {
    if (bytes.size() - *pos < length) return false;
    out->assign(bytes, *pos, length);
    *pos += length;
    return true;
}

ParsedBundle Damaged(const std::string& problem) {
    ParsedBundle bundle;
    bundle.problem = problem;
    return bundle;
}

}  // namespace

ParsedBundle ParseLauncherBundle(const std::string& bytes,
                                 const std::function<bool(const std::string&)>& isSafeName) {
    if (bytes.empty()) return Damaged("empty file");
    if (bytes[0] == 0) {
        ParsedBundle unfinished;
        unfinished.state = BundleState::Unfinished;
        return unfinished;
    }
    if (bytes[0] != 1) return Damaged("unknown flag");

    std::vector<BundleRecord> records;
    size_t pos = 1;
    while (pos < bytes.size()) {
        BundleRecord record;
        uint32_t length = 0;
        if (!ReadLength(bytes, &pos, &length) || !ReadPiece(bytes, &pos, length, &record.name)) {
            return Damaged("name beyond the end of the file");
        }
        if (!ReadLength(bytes, &pos, &length) || !ReadPiece(bytes, &pos, length, &record.content)) {
            return Damaged("content beyond the end of the file: " + record.name);
        }
        records.push_back(std::move(record));
    }
    // The same file twice would be swapped twice, and a file cannot also be another's folder:
    // the launcher's own name check, with the file system's case folding.
    std::vector<std::wstring> names;
    for (const BundleRecord& record : records) names.push_back(NarrowToText(record.name));
    if (NamesMeetInOneFolder(names)) return Damaged("a file given twice, or as a folder");
    if (records.empty() || records.back().name != kBundleManifestName) {
        return Damaged("no manifest record at the end");
    }
    ParsedBundle bundle;
    bundle.manifest = std::move(records.back().content);
    records.pop_back();
    for (const BundleRecord& record : records) {
        // Checked after the manifest: an earlier record of that name is refused by the
        // duplicate rule above.
        if (record.name.find('\0') != std::string::npos || !isSafeName(record.name)) {
            return Damaged("name outside the launcher folder: " + record.name);
        }
    }
    bundle.state = BundleState::Complete;
    bundle.files = std::move(records);
    return bundle;
}
