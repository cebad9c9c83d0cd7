#include "resources/CDNConfigText.h"

#include <cstdint>
#include <cstring>

#include "app/TextConvert.h"
#include "app/Utf8Check.h"
#include "resources/ConfigNameCollisions.h"
#include "resources/ManifestName.h"
#include "resources/ManifestText.h"

namespace {

// Whether offset and length name bytes inside a package. A negative offset would ask for the
// whole package (and take ranged neighbours into that request), a negative length would become a
// range of some 4 GiB, and an end beyond the 64-bit range cannot be asked for at all.
bool IsPackageRange(const ResoureConfigInfo& info) {
    return info.offset >= 0 && info.length >= 0 && info.offset <= INT64_MAX - info.length;
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
    // A body that decodes line by line (ASCII, which every ANSI code page reads as itself, or
    // well-formed UTF-8) is parsed without a wide copy of the whole text.
    const size_t size = std::strlen(body.c_str());  // the text ends at a zero byte
    bool ascii = true;
    for (size_t i = 0; i < size && ascii; ++i) ascii = static_cast<unsigned char>(body[i]) < 0x80;
    if (ascii || IsUtf8Text(reinterpret_cast<const unsigned char*>(body.data()),
                            static_cast<int32_t>(size)) == 1) {
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
