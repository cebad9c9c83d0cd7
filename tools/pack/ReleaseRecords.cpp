#include "ReleaseRecords.h"

#include <cstring>

#include "BesideFile.h"
#include "SourceStamps.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"

namespace {

const size_t kPieceBytes = size_t(1) << 20;

void AppendHex(const unsigned char* bytes, size_t size, std::string* text) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < size; ++i) {
        text->push_back(kDigits[bytes[i] >> 4]);
        text->push_back(kDigits[bytes[i] & 0x0F]);
    }
}

void AppendNumber(uint64_t value, std::string* text) {
    char digits[24];
    size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0) text->push_back(digits[--n]);
}

}  // namespace

ReleaseRecords::ReleaseRecords(size_t files) : files_(files, 0) {
    placements_.reserve(files);  // at most one a file, but for the chunks of large files
}

uint32_t ReleaseRecords::AddPlacement(const PackedEntry& entry) {
    const auto found = folderIndex_.find(entry.packageDir);
    uint32_t folder = 0;
    if (found != folderIndex_.end()) {
        folder = found->second;
    } else {
        folder = static_cast<uint32_t>(folders_.size());
        folders_.push_back(entry.packageDir);
        folderTexts_.push_back(TextToUtf8Exact(entry.packageDir));
        folderIndex_.emplace(entry.packageDir, folder);
    }
    Placement placement;
    placement.offset = entry.offset;
    placement.inputSize = entry.inputSize;
    placement.length = entry.length;
    placement.folder = folder;
    std::memcpy(placement.md5, entry.md5.data(), entry.md5.size() < 16 ? entry.md5.size() : 16);
    if (entry.sha256.size() == sizeof(placement.sha256)) {
        std::memcpy(placement.sha256, entry.sha256.data(), sizeof(placement.sha256));
        placement.folder |= kSha256Known;
    }
    placements_.push_back(placement);
    return static_cast<uint32_t>(placements_.size() - 1);
}

PackedEntry ReleaseRecords::EntryOf(uint32_t placement) const {
    const Placement& p = placements_[placement];
    PackedEntry entry;
    entry.packageDir = folders_[p.folder & ~kSha256Known];
    entry.offset = p.offset;
    entry.length = p.length;
    entry.md5.assign(reinterpret_cast<const char*>(p.md5), sizeof(p.md5));
    entry.inputSize = p.inputSize;
    if (p.folder & kSha256Known) {
        entry.sha256.assign(reinterpret_cast<const char*>(p.sha256), sizeof(p.sha256));
    }
    return entry;
}

size_t ReleaseRecords::SlotOf(int64_t size, const unsigned char* md5) const {
    uint64_t low = 0;
    std::memcpy(&low, md5, sizeof(low));
    const uint64_t mixed = (low ^ static_cast<uint64_t>(size)) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(mixed >> 32) & (content_.size() - 1);
}

bool ReleaseRecords::FindContent(int64_t size, const std::string& md5, uint32_t* placement) const {
    if (content_.empty() || md5.size() != 16) return false;
    const unsigned char* digest = reinterpret_cast<const unsigned char*>(md5.data());
    for (size_t slot = SlotOf(size, digest);; slot = (slot + 1) & (content_.size() - 1)) {
        if (content_[slot] == 0) return false;
        const Placement& p = placements_[content_[slot] - 1];
        if (p.inputSize == size && std::memcmp(p.md5, digest, sizeof(p.md5)) == 0) {
            *placement = content_[slot] - 1;
            return true;
        }
    }
}

void ReleaseRecords::GrowContent() {
    std::vector<uint32_t> old(content_.empty() ? 1024 : content_.size() * 2, 0);
    old.swap(content_);
    for (uint32_t value : old) {
        if (value == 0) continue;
        const Placement& p = placements_[value - 1];
        size_t slot = SlotOf(p.inputSize, p.md5);
        while (content_[slot] != 0) slot = (slot + 1) & (content_.size() - 1);
        content_[slot] = value;
    }
}

void ReleaseRecords::AddContent(uint32_t placement) {
    // At most half full, so that a search ends soon at an empty slot.
    if ((contentCount_ + 1) * 2 > content_.size()) GrowContent();
    const Placement& p = placements_[placement];
    size_t slot = SlotOf(p.inputSize, p.md5);
    while (content_[slot] != 0) slot = (slot + 1) & (content_.size() - 1);
    content_[slot] = placement + 1;
    ++contentCount_;
}

void ReleaseRecords::SetFile(size_t i, uint32_t placement, bool stamped) {
    files_[i] = placement | (stamped ? kStamped : 0);
}

bool ReleaseRecords::NextConfigLines(const SourceList& inputs, size_t* next,
                                     std::string* text) const {
    if (*next >= files_.size()) return false;
    for (; *next < files_.size() && text->size() < kPieceBytes; ++*next) {
        const Placement& p = PlacementOfFile(*next);
        *text += TextToUtf8Exact(inputs.Name(*next));
        text->push_back('=');
        AppendHex(p.md5, sizeof(p.md5), text);
        text->push_back('=');
        *text += folderTexts_[p.folder & ~kSha256Known];
        text->push_back('=');
        AppendNumber(static_cast<uint64_t>(p.offset), text);
        text->push_back('=');
        AppendNumber(static_cast<uint64_t>(p.length), text);
        *text += inputs.IsLauncher(*next) ? "=launcher=" : "=game=";
        if (p.folder & kSha256Known) AppendHex(p.sha256, sizeof(p.sha256), text);
        *text += "\r\n";
    }
    return true;
}

bool ReleaseRecords::WriteStamps(const SourceList& inputs, const std::wstring& root) const {
    BesideFile out(root + kSourceStampsName);
    if (!out.Open()) return false;
    std::string text;
    for (size_t i = 0; i < files_.size(); ++i) {
        if (!(files_[i] & kStamped)) continue;
        text += inputs.IsLauncher(i) ? "launcher=" : "game=";
        text += TextToUtf8Exact(inputs.Name(i));
        text.push_back('=');
        AppendNumber(static_cast<uint64_t>(inputs.FileSize(i)), &text);
        text.push_back('=');
        AppendNumber(inputs.WriteTime(i), &text);
        text.push_back('=');
        AppendHex(PlacementOfFile(i).md5, sizeof(Placement::md5), &text);
        text += "\r\n";
        if (text.size() >= kPieceBytes) {
            if (!out.Append(text)) return false;
            text.clear();
        }
    }
    return out.Append(text) && out.Commit(true);
}
