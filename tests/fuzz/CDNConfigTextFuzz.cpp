// CDN configuration body: a refused body adds nothing; an accepted one adds only records whose
// names stay inside the target directory and whose package ranges can be asked for, and exactly
// the records of its whole decoded text. The parse into the two maps of the targets gives the
// same state, and on success the list's records split by category (first of a name kept). A signed
// part that reads ends with its signature line, and every record read from the body lies in the
// bytes the signature covers. The same bytes through the configuration's sink, in blocks and
// pieces of sizes the input picks, give the same results; the tail is the body from its blank
// line on and the bytes passed before it the rest.
#include <cstdlib>
#include <map>

#include "resources/CDNConfigText.h"
#include "resources/CDNResourceConfigDataProcessor.h"
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

bool SameMap(const ResoureConfigMap& a, const ResoureConfigMap& b) {
    if (a.size() != b.size()) return false;
    for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
        if (x->name != y->name || x->md5.Text() != y->md5.Text() ||
            x->sha256.Text() != y->sha256.Text() || x->offset != y->offset ||
            x->length != y->length || a.Folder(*x) != b.Folder(*y)) {
            return false;
        }
    }
    return true;
}

void CheckBlocks(const std::string& body, CDNDownloadState state, const CDNConfigMaps& whole,
                 bool signedRanges) {
    size_t seed = body.size();
    for (char c : body) seed = seed * 31 + static_cast<unsigned char>(c);
    const size_t piece = 1 + seed % 23;
    // A byte-order mark before the body is left out (one the body starts with would be too).
    const std::string sent =
        (seed & 64) != 0 || body.compare(0, 3, "\xEF\xBB\xBF") == 0 ? "\xEF\xBB\xBF" + body : body;
    CDNResourceConfigDataProcessor sink(DownloadTaskInfo(), 1 + (seed >> 8) % 13);
    if (!sink.OnBegin(0)) std::abort();
    for (size_t i = 0; i < sent.size(); i += piece) {
        const std::string part = sent.substr(i, piece);
        if (!sink.OnData(part.data(), static_cast<uint32_t>(part.size()))) std::abort();
    }
    if (!sink.OnFinish()) std::abort();
    ConfigBody blocks = sink.TakeBody();
    std::string leading;
    ConfigTail tail;
    CDNConfigMaps maps;
    bool blockRanges = !signedRanges;
    const auto lead = [&leading](const char* data, size_t size) { leading.append(data, size); };
    if (ParseCDNConfig(&blocks, &maps, &blockRanges, &tail, lead) != state ||
        !SameMap(whole.resources, maps.resources) ||
        !SameMap(whole.launcherFiles, maps.launcherFiles) ||
        (state == CDNDownloadSuccess && blockRanges != signedRanges)) {
        std::abort();
    }
    const size_t start = FindSignedPartStart(body);
    if (tail.offset != start || leading != body.substr(0, start) ||
        tail.text != (start == std::string::npos ? std::string() : body.substr(start))) {
        std::abort();
    }
    SignedPart a;
    SignedPart b;
    const bool read = ParseSignedPart(body, &a);
    if (read != ParseSignedPart(tail, &b)) std::abort();
    if (read && (a.signedLength != b.signedLength || a.serial != b.serial ||
                 a.signature != b.signature || a.release != b.release)) {
        std::abort();
    }
}

void CheckMaps(const std::string& body, CDNDownloadState listState, const ResoureConfigList& list) {
    CDNConfigMaps maps;
    bool signedRanges = false;
    if (ParseCDNConfig(body, &maps, &signedRanges) != listState) std::abort();
    CheckBlocks(body, listState, maps, signedRanges);
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
