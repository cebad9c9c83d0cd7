// CDN configuration body: a refused body adds nothing; an accepted one adds only records whose
// names stay inside the target directory and whose package ranges can be asked for.
#include <cstdlib>

#include "resources/CDNConfigText.h"
#include "resources/ManifestName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResoureConfigList list(1);  // a record already there must survive either way
    const CDNDownloadState state =
        ParseCDNConfigText(std::string(reinterpret_cast<const char*>(data), size), &list);
    if (state == CDNDownloadParseFailed) {
        if (list.size() != 1) std::abort();
        return 0;
    }
    if (state != CDNDownloadSuccess || list.size() < 2) std::abort();
    for (size_t i = 1; i < list.size(); ++i) {
        const ResoureConfigInfo& info = list[i];
        if (!IsSafeManifestName(info.name) || info.offset < 0 || info.length < 0 ||
            info.offset > INT64_MAX - info.length) {
            std::abort();
        }
    }
    return 0;
}
