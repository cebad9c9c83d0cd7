#include "resources/CDNConfigReader.h"

#include "app/TextConvert.h"
#include "resources/ConfigNameCollisions.h"
#include "resources/ManifestName.h"
#include "resources/ManifestText.h"

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool IsLineBreak(wchar_t c) {
    return c == L'\r' || c == L'\n';
}

}  // namespace

CDNConfigReader::CDNConfigReader(bool decodesByLine, size_t textEnd, size_t lines,
                                 bool allCarrySha256)
    : decodesByLine_(decodesByLine), textEnd_(textEnd), checkSha256_(allCarrySha256) {
    // Launcher files are few: the room goes to the resources.
    parsed_.resources.Reserve(lines);
    accept_ = [this](const ResoureConfigInfo& info) {
        if (refused_ || !IsSafeManifestName(info.name) || !IsPackageRange(info)) {
            refused_ = true;  // the rest of the body is not kept either
            return false;
        }
        if (checkSha256_) allCarrySha256_ = allCarrySha256_ && IsSha256DigestText(info.sha256);
        ++records_[IsLauncherCategory(info.category) ? 1 : 0];
        return true;
    };
}

void CDNConfigReader::Add(const char* data, size_t size) {
    if (size == 0) return;
    const size_t at = received_;
    received_ += size;
    if (tailFound_ && !parsing_) {
        tail_.text.append(line_);
        line_.clear();
        tail_.text.append(data, size);
        return;
    }
    // Lines are cut right after a CR or LF: a run of line ends cut in two is read the same, as
    // leading line ends are skipped, and no code page takes CR or LF as a lead byte.
    size_t whole = size;
    while (whole > 0 && !IsLineEnd(data[whole - 1])) --whole;
    if (whole == 0) {
        line_.append(data, size);
        return;
    }
    size_t first = 0;
    if (!line_.empty()) {
        while (!IsLineEnd(data[first])) ++first;
        line_.append(data, ++first);
        AddLines(line_.data(), line_.size(), at + first - line_.size(), false);
        line_.clear();
    }
    if (first < whole) AddLines(data + first, whole - first, at + first, false);
    line_.assign(data + whole, size - whole);
}

void CDNConfigReader::AddLines(const char* data, size_t size, size_t at, bool last) {
    if (parsing_) ParseLines(data, size, at, last);
    if (tailFound_) {
        tail_.text.append(data, size);
        return;
    }
    const size_t start = FindSignedPartStart(std::string_view(data, size));
    const size_t leading = start == std::string::npos ? size : start;
    if (onLeadingBytes && leading > 0) onLeadingBytes(data, leading);
    if (start == std::string::npos) return;
    tailFound_ = true;
    tail_.offset = at + start;
    tail_.text.assign(data + start, size - start);
}

void CDNConfigReader::ParseLines(const char* data, size_t size, size_t at, bool last) {
    // The text ends at the first zero byte: a line cut there is its last.
    if (textEnd_ != std::string::npos && at + size >= textEnd_) {
        size = textEnd_ > at ? textEnd_ - at : 0;
        last = true;
    }
    size_t blank = std::string::npos;
    if (decodesByLine_) {
        blank = AppendManifestUtf8(data, size, &parsed_.resources, &parsed_.launcherFiles, accept_);
    } else {
        // The ANSI code page converts pieces cut after a line end as it converts the whole; a
        // double-byte character may still take a line end as its trail byte, so the lines are
        // cut again in the wide text.
        if (size > 0) wide_ += NarrowToText(std::string(data, size));
        size_t whole = wide_.size();
        while (!last && whole > 0 && !IsLineBreak(wide_[whole - 1])) --whole;
        blank = AppendManifestText(std::wstring_view(wide_.data(), whole), &parsed_.resources,
                                   &parsed_.launcherFiles, accept_);
        wide_.erase(0, whole);
    }
    if (blank != std::string::npos || last || refused_) {
        parsing_ = false;
        std::wstring().swap(wide_);
    }
}

CDNDownloadState CDNConfigReader::Finish(CDNConfigMaps* maps, bool* allCarrySha256,
                                         ConfigTail* tail) {
    AddLines(line_.data(), line_.size(), received_ - line_.size(), true);
    std::string().swap(line_);
    tail_.zeroBefore = textEnd_ != std::string::npos &&
                       (tail_.offset == std::string::npos || textEnd_ < tail_.offset);
    if (tail != nullptr) *tail = std::move(tail_);
    if (maps == nullptr) return CDNDownloadParseFailed;
    maps->resources.clear();
    maps->launcherFiles.clear();
    parsed_.resources.Sort();
    parsed_.launcherFiles.Sort();
    // A name given twice for one target is left once in its map: the list named one file twice.
    if (refused_ || records_[0] + records_[1] == 0 || parsed_.resources.size() != records_[0] ||
        parsed_.launcherFiles.size() != records_[1] ||
        HasCollidingNames(parsed_.resources, parsed_.launcherFiles)) {
        parsed_ = CDNConfigMaps();
        return CDNDownloadParseFailed;
    }
    if (allCarrySha256 != nullptr) *allCarrySha256 = allCarrySha256_;
    *maps = std::move(parsed_);
    return CDNDownloadSuccess;
}
