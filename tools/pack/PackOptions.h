// Command line of the package tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackOptions {
    std::wstring gameDir;      // files installed under the installation's "game\" folder
    std::wstring launcherDir;  // files of the launcher itself (optional)
    std::wstring outDir;       // the CDN tree to write; must be missing or empty
    int64_t packageMiB = 64;   // a package is closed before it would pass this size
};

// Parses "--game DIR [--launcher DIR] --out DIR [--package-mib N]". False with a message in
// *error when an option is unknown, repeated, missing its value or out of range.
bool ParsePackOptions(const std::vector<std::wstring>& args, PackOptions* options,
                      std::wstring* error);

extern const wchar_t kPackUsage[];
