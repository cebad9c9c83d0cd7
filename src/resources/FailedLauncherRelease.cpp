#include "resources/FailedLauncherRelease.h"

bool IsFailedLauncherRelease(const LocalManifestMap& local, const ResourceUpdateList& downloads,
                             const std::wstring& failedList) {
    if (failedList.empty() || downloads.empty()) return false;
    // The list the bundle would end with: each downloaded file recorded with its new digest.
    LocalManifestMap planned = local;
    for (size_t i = 0; i < downloads.size(); ++i) {
        const ResoureConfigEntry& download = downloads.Entry(i);
        planned.SetDigest(downloads.Name(i), download.md5);
    }
    std::wstring text;
    return FormatManifestText(planned, &text) && text == failedList;
}
