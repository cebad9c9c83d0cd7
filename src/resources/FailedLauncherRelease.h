// A launcher update that could not be installed. The entrance records, in the game root, the
// launcher list of the bundle it had to give up; the launcher does not fetch the same files
// again while its update would give exactly that list, and fetches the next release as usual.
// No Windows header.
#pragma once

#include <string>

#include "resources/ManifestText.h"
#include "resources/ResourceUpdateInfo.h"

inline constexpr wchar_t kFailedLauncherReleaseName[] = L"launcher_failed.txt";

// Whether installing downloads over the local launcher list gives failedList, the recorded
// list (empty: nothing failed).
bool IsFailedLauncherRelease(const LocalManifestMap& local, const ResourceUpdateList& downloads,
                             const std::wstring& failedList);
