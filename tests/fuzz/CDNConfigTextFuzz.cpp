// CDN configuration body: a refused body adds nothing; an accepted one adds only records whose
// names stay inside the target directory and whose package ranges can be asked for, and exactly
// the records of its whole decoded text. The parse into the two maps of the targets gives the
// same state, and on success the list's records split by category (first of a name kept). A signed
// part that reads ends with its signature line, and every record read from the body lies in the
// bytes the signature covers.
#include <cstdlib>
#include <map>

#include "resources/CDNConfigText.h"
#include "resources/ManifestName.h"
#include "resources/ManifestText.h"
#include "resources/SignedConfig.h"

namespace {

bool SameRecords(const ResoureConfigList& a, const ResoureConfigList& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].md5 != b[i].md5 || a[i].sha256 != b[i].sha256 ||
            a[i].offset != b[i].offset || a[i].length != b[i].length ||
            a[i].packageDir != b[i].packageDir || a[i].category != b[i].category) {
            return false;
        }
    }
    return true;
}

// Whether map holds exactly the records of list whose category says launcher, in name order, of
// one name the first.
bool SameEntries(const ResoureConfigList& list, bool launcher, const ResoureConfigMap& map) {
    std::map<std::wstring, const ResoureConfigInfo*> expected;
    for (const ResoureConfigInfo& info : list) {
        if (IsLauncherCategory(info.category) == launcher) expected.emplace(info.name, &info);
    }
    if (expected.size() != map.size()) return false;
    auto want = expected.begin();
    for (const ResoureConfigEntry& entry : map) {
        const ResoureConfigInfo& info = *(want++)->second;
        if (map.Name(entry) != info.name || entry.md5.Text() != info.md5 ||
            entry.sha256.Text() != info.sha256 || entry.offset != info.offset ||
            entry.length != info.length || map.Folder(entry) != info.packageDir) {
            return false;
        }
    }
    return true;
}

void CheckMaps(const std::string& body, CDNDownloadState listState, const ResoureConfigList& list) {
    CDNConfigMaps maps;
    bool signedRanges = false;
    if (ParseCDNConfig(body, &maps, &signedRanges) != listState) std::abort();
    if (listState != CDNDownloadSuccess) {
        if (!maps.resources.empty() || !maps.launcherFiles.empty()) std::abort();
        return;
    }
    bool all = true;
    for (const ResoureConfigInfo& info : list) all = all && IsSha256DigestText(info.sha256);
    if (signedRanges != all || !SameEntries(list, false, maps.resources) ||
        !SameEntries(list, true, maps.launcherFiles)) {
        std::abort();
    }
}

void CheckSignedPart(const std::string& body) {
    SignedPart part;
    if (!ParseSignedPart(body, &part)) return;
    if (part.signedLength >= body.size() ||
        body.compare(part.signedLength, 10, "signature=") != 0 || part.signature.size() != 64 ||
        part.serial == 0 || part.release.empty()) {
        std::abort();
    }
    ResoureConfigList whole;
    ResoureConfigList covered;
    const CDNDownloadState a = ParseCDNConfigText(body, &whole);
    const CDNDownloadState b = ParseCDNConfigText(body.substr(0, part.signedLength), &covered);
    if (a != b || !SameRecords(whole, covered)) std::abort();
    int64_t seconds = 0;
    if (!ParseUtcTime(FormatUtcTime(part.signedAt), &seconds) || seconds != part.signedAt) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    CheckSignedPart(body);
    ResoureConfigList fresh;
    CheckMaps(body, ParseCDNConfigText(body, &fresh), fresh);
    ResoureConfigList list(1);  // a record already there must survive either way
    const CDNDownloadState state = ParseCDNConfigText(body, &list);
    if (state == CDNDownloadParseFailed) {
        if (list.size() != 1) std::abort();
        return 0;
    }
    if (state != CDNDownloadSuccess || list.size() < 2) std::abort();
    // The body is read line by line: the records are those of its whole decoded text.
    ResoureConfigList whole(1);
    ParseManifestText(DecodeCDNConfigText(body), &whole);
    if (!SameRecords(list, whole)) std::abort();
    for (size_t i = 1; i < list.size(); ++i) {
        const ResoureConfigInfo& info = list[i];
        if (!IsSafeManifestName(info.name) || info.offset < 0 || info.length < 0 ||
            info.offset > INT64_MAX - info.length) {
            std::abort();
        }
    }
    return 0;
}
