#include "resources/CDNConfigText.h"

#include <cstdint>
#include <cstring>

#include "app/TextConvert.h"
#include "app/Utf8Check.h"
#include "app/Utf8Scan.h"
#include "resources/CDNConfigReader.h"
#include "resources/ConfigNameCollisions.h"
#include "resources/ManifestName.h"
#include "resources/ManifestText.h"
#include "resources/SignedConfig.h"

namespace {

// Whether the body (up to its first zero byte, *size) decodes line by line: ASCII, which every
// ANSI code page reads as itself, or well-formed UTF-8. Such a body is parsed without a wide copy
// of the whole text.
bool DecodesByLine(const std::string& body, size_t* size) {
    *size = std::strlen(body.c_str());
    Utf8Scan scan;  // runs of ASCII eight bytes at a time: a body of many megabytes passes here
    scan.Add(reinterpret_cast<const unsigned char*>(body.data()), *size);
    return scan.Ascii() || scan.WellFormedUtf8();
}

}  // namespace

bool IsPackageRange(const ResoureConfigInfo& info) {
    // A negative offset would ask for the whole package (and take ranged neighbours into that
    // request), a negative length would become a range of some 4 GiB, and an end beyond the
    // 64-bit range cannot be asked for at all.
    return info.offset >= 0 && info.length >= 0 && info.offset <= INT64_MAX - info.length;
}

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
    size_t size = 0;
    const bool byLine = DecodesByLine(body, &size);
    size_t lines = 1;
    for (const char* p = body.data();
         (p = static_cast<const char*>(std::memchr(p, '\n', body.data() + size - p))); ++p) {
        ++lines;
    }
    CDNConfigReader reader(byLine, size < body.size() ? size : std::string::npos, lines,
                           allCarrySha256 != nullptr);
    reader.Add(body.data(), body.size());
    return reader.Finish(maps, allCarrySha256, nullptr);
}

CDNDownloadState ParseCDNConfig(ConfigBody* body, CDNConfigMaps* maps, bool* allCarrySha256,
                                ConfigTail* tail,
                                const std::function<void(const char*, size_t)>& onLeadingBytes) {
    CDNConfigReader reader(body->DecodesByLine(), body->ZeroAt(), body->Lines(),
                           allCarrySha256 != nullptr);
    reader.onLeadingBytes = onLeadingBytes;
    for (size_t i = 0; i < body->BlockCount(); ++i) {
        const std::string_view block = body->Block(i);
        reader.Add(block.data(), block.size());
        body->Release(i);  // its records are in the maps, its other bytes in the tail or hashed
    }
    body->Clear();
    return reader.Finish(maps, allCarrySha256, tail);
}
