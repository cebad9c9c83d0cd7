// Command line of the package tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class PackMode { Publish, Prune, Notice, NewKey };

struct PackOptions {
    PackMode mode = PackMode::Publish;
    std::wstring gameDir;      // files installed under the installation's "game\" folder
    std::wstring launcherDir;  // files of the launcher itself (optional)
    std::wstring outDir;       // a whole new tree: must be missing or empty
    std::wstring cdnDir;       // a tree of releases
    std::wstring release;      // the release to publish, or to name in the notice answer
    std::wstring noticeFile;   // the notice answer to write
    std::wstring codeList;     // its "Code" member
    bool codeListGiven = false;
    std::wstring url;         // where the tree is served (for the notice answer)
    int64_t packageMiB = 64;  // a package is closed before it would pass this size
    int64_t keep = 0;         // releases a cleanup keeps
    bool rehash = false;      // read every input file, trusting no source stamp
    std::wstring newKey;      // --new-key: the private key file to make (FILE.pub beside)
    std::wstring key;         // --key: the private key configurations are signed with
    int64_t expiresDays = 0;  // a signed configuration expires this many days after signing
    int64_t chunkMiB = 8;     // files of this size and more are published in chunks too
    bool chunkOnly = false;   // chunked files get no whole-file range
};

// Parses one of
//   --game DIR [--launcher DIR] --out DIR [--package-mib N] [--chunk-mib N] [--chunk-only]
//   --game DIR [--launcher DIR] --cdn TREE --release NAME [--package-mib N] [--rehash]
//              [--chunk-mib N] [--chunk-only]
//              [--key FILE [--expires-days N]]
//   --cdn TREE --prune --keep N
//   --cdn TREE --notice FILE --release NAME [--code-list "a|b"] [--url BASE]
//              [--key FILE [--expires-days N]]
//   --new-key FILE
// False with a message in *error when an option is unknown, repeated, missing its value, out
// of range or does not belong to the form.
bool ParsePackOptions(const std::vector<std::wstring>& args, PackOptions* options,
                      std::wstring* error);

extern const wchar_t kPackUsage[];
