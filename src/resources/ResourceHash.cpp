#include "resources/ResourceHash.h"

#include <algorithm>

#include "app/Crypto.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "resources/ManifestFile.h"

std::wstring ComputeResourceHash(const std::wstring& versionPath) {
    ResoureConfigList list;
    if (!ReadManifestFile(versionPath, &list)) return std::wstring();
    std::stable_sort(
        list.begin(), list.end(),
        [](const ResoureConfigInfo& a, const ResoureConfigInfo& b) { return a.name < b.name; });
    std::wstring digests;
    for (const ResoureConfigInfo& info : list) digests += info.md5;
    const std::string digest = Md5Digest(TextToNarrow(digests));
    if (digest.size() != 16) return std::wstring();
    const std::string hex = BytesToHex(digest);
    return std::wstring(hex.begin(), hex.end());
}
