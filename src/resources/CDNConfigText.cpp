#include "resources/CDNConfigText.h"

#include <cstdint>
#include <cstring>

#include "app/TextConvert.h"
#include "app/Utf8Check.h"
#include "resources/ConfigNameCollisions.h"
#include "resources/ManifestName.h"
#include "resources/ManifestText.h"
#include "resources/SignedConfig.h"

namespace {

// Whether offset and length name bytes inside a package. A negative offset would ask for the
// whole package (and take ranged neighbours into that request), a negative length would become a
// range of some 4 GiB, and an end beyond the 64-bit range cannot be asked for at all.
bool IsPackageRange(const ResoureConfigInfo& info) {
    return info.offset >= 0 && info.length >= 0 && info.offset <= INT64_MAX - info.length;
}

// Whether the body (up to its first zero byte, *size) decodes line by line: ASCII, which every
// ANSI code page reads as itself, or well-formed UTF-8. Such a body is parsed without a wide copy
// of the whole text.
bool DecodesByLine(const std::string& body, size_t* size) {
    *size = std::strlen(body.c_str());
    // Eight bytes at a time: a body of many megabytes is looked at before it is parsed.
    uint64_t high = 0;
    size_t i = 0;
    for (; i + 8 <= *size; i += 8) {
        uint64_t word;
        std::memcpy(&word, body.data() + i, 8);
        high |= word;
    }
    for (; i < *size; ++i) high |= static_cast<unsigned char>(body[i]);
    const bool ascii = (high & 0x8080808080808080ull) == 0;
    return ascii || IsUtf8Text(reinterpret_cast<const unsigned char*>(body.data()),
                               static_cast<int32_t>(*size)) == 1;
}

}  // namespace

std::wstring DecodeCDNConfigText(const std::string& body) {
    // Both conversions stop at a zero byte, like any zero-terminated text.
    const std::string text(body.c_str());
    std::wstring wide;
    if (IsUtf8Text(reinterpret_cast<const unsigned char*>(text.data()),
                   static_cast<int32_t>(text.size())) == 1) {
        Utf8ToText(text.c_str(), &wide);
    } else {
        wide = NarrowToText(text);
    }
    return wide;
}

CDNDownloadState ParseCDNConfigText(const std::string& body, ResoureConfigList* list) {
    if (list == nullptr) return CDNDownloadParseFailed;
    ResoureConfigList parsed;
    size_t size = 0;
    if (DecodesByLine(body, &size)) {
        ParseManifestUtf8(body.data(), size, &parsed);
    } else {
        ParseManifestText(DecodeCDNConfigText(body), &parsed);
    }
    if (parsed.empty()) return CDNDownloadParseFailed;
    for (const ResoureConfigInfo& info : parsed) {
        if (!IsSafeManifestName(info.name) || !IsPackageRange(info)) return CDNDownloadParseFailed;
    }
    if (HasCollidingNames(parsed)) return CDNDownloadParseFailed;
    if (list->empty()) {
        list->swap(parsed);  // a configuration of tens of thousands of lines is not copied
    } else {
        list->insert(list->end(), parsed.begin(), parsed.end());
    }
    return CDNDownloadSuccess;
}

CDNDownloadState ParseCDNConfig(const std::string& body, CDNConfigMaps* maps,
                                bool* allCarrySha256) {
    if (maps == nullptr) return CDNDownloadParseFailed;
    maps->resources.clear();
    maps->launcherFiles.clear();
    bool refused = false;
    bool signedRanges = true;
    size_t records[2] = {0, 0};  // accepted for the resources, for the launcher
    const AcceptRecord accept = [&](const ResoureConfigInfo& info) {
        if (refused || !IsSafeManifestName(info.name) || !IsPackageRange(info)) {
            refused = true;  // the rest of the body is not kept either
            return false;
        }
        if (allCarrySha256 != nullptr)
            signedRanges = signedRanges && IsSha256DigestText(info.sha256);
        ++records[IsLauncherCategory(info.category) ? 1 : 0];
        return true;
    };
    CDNConfigMaps parsed;
    size_t size = 0;
    if (DecodesByLine(body, &size)) {
        ParseManifestUtf8(body.data(), size, &parsed.resources, &parsed.launcherFiles, accept);
    } else {
        ParseManifestText(DecodeCDNConfigText(body), &parsed.resources, &parsed.launcherFiles,
                          accept);
    }
    // A name given twice for one target is left once in its map: the list named one file twice.
    if (refused || records[0] + records[1] == 0 || parsed.resources.size() != records[0] ||
        parsed.launcherFiles.size() != records[1] ||
        HasCollidingNames(parsed.resources, parsed.launcherFiles)) {
        return CDNDownloadParseFailed;
    }
    if (allCarrySha256 != nullptr) *allCarrySha256 = signedRanges;
    *maps = std::move(parsed);
    return CDNDownloadSuccess;
}
