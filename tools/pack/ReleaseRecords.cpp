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

ReleaseRecords::ReleaseRecords(size_t files) : files_(files) {
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
    placement.length = entry.length;
    placement.folder = folder;
    if (entry.sha256.size() == sizeof(placement.sha256)) {
        std::memcpy(placement.sha256, entry.sha256.data(), sizeof(placement.sha256));
        placement.sha256Known = true;
    }
    placements_.push_back(placement);
    return static_cast<uint32_t>(placements_.size() - 1);
}

PackedEntry ReleaseRecords::EntryOf(uint32_t placement, const std::string& md5,
                                    int64_t inputSize) const {
    const Placement& p = placements_[placement];
    PackedEntry entry;
    entry.packageDir = folders_[p.folder];
    entry.offset = p.offset;
    entry.length = p.length;
    entry.md5 = md5;
    entry.inputSize = inputSize;
    if (p.sha256Known) entry.sha256.assign(reinterpret_cast<const char*>(p.sha256), 32);
    return entry;
}

void ReleaseRecords::SetFile(size_t i, const std::string& md5, uint32_t placement, bool stamped) {
    File& file = files_[i];
    std::memcpy(file.md5, md5.data(), md5.size() < 16 ? md5.size() : 16);
    file.placement = placement;
    file.stamped = stamped;
}

std::string ReleaseRecords::Md5Of(size_t i) const {
    return std::string(reinterpret_cast<const char*>(files_[i].md5), 16);
}

bool ReleaseRecords::NextConfigLines(const SourceList& inputs, size_t* next,
                                     std::string* text) const {
    if (*next >= files_.size()) return false;
    for (; *next < files_.size() && text->size() < kPieceBytes; ++*next) {
        const File& file = files_[*next];
        const Placement& p = placements_[file.placement];
        *text += TextToUtf8Exact(inputs.Name(*next));
        text->push_back('=');
        AppendHex(file.md5, sizeof(file.md5), text);
        text->push_back('=');
        *text += folderTexts_[p.folder];
        text->push_back('=');
        AppendNumber(static_cast<uint64_t>(p.offset), text);
        text->push_back('=');
        AppendNumber(static_cast<uint64_t>(p.length), text);
        *text += inputs.IsLauncher(*next) ? "=launcher=" : "=game=";
        if (p.sha256Known) AppendHex(p.sha256, sizeof(p.sha256), text);
        *text += "\r\n";
    }
    return true;
}

bool ReleaseRecords::WriteStamps(const SourceList& inputs, const std::wstring& root) const {
    BesideFile out(root + kSourceStampsName);
    if (!out.Open()) return false;
    std::string text;
    for (size_t i = 0; i < files_.size(); ++i) {
        if (!files_[i].stamped) continue;
        text += inputs.IsLauncher(i) ? "launcher=" : "game=";
        text += TextToUtf8Exact(inputs.Name(i));
        text.push_back('=');
        AppendNumber(static_cast<uint64_t>(inputs.FileSize(i)), &text);
        text.push_back('=');
        AppendNumber(inputs.WriteTime(i), &text);
        text.push_back('=');
        AppendHex(files_[i].md5, sizeof(files_[i].md5), &text);
        text += "\r\n";
        if (text.size() >= kPieceBytes) {
            if (!out.Append(text)) return false;
            text.clear();
        }
    }
    return out.Append(text) && out.Commit(true);
}
