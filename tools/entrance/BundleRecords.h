// Reading the launcher bundle "launcher.tmp" that the launcher leaves for its restart: one flag
// byte (0 while the launcher fills it, 1 once complete), then records of (uint32 LE name length,
// name, uint32 LE content length, content), the last one "launcher_manifest.txt".
// No Windows header.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct BundleRecord {
    std::string name;  // relative file name in the narrow code page
    std::string content;
};

enum class BundleState {
    Complete,    // flag 1, every record checked
    Unfinished,  // flag 0: the launcher never completed it
    Damaged,     // anything else; problem says what
};

struct ParsedBundle {
    BundleState state = BundleState::Damaged;
    std::vector<BundleRecord> files;  // the file records, in bundle order
    std::string manifest;             // content of the last record, "launcher_manifest.txt"
    std::string problem;              // for a damaged bundle: the first fault found
};

// Name of the record that ends a complete bundle.
inline constexpr char kBundleManifestName[] = "launcher_manifest.txt";

// Checks the whole bundle before anything is used: the flag, every length inside the file,
// every file name accepted by isSafeName and given once, and the manifest record last and only
// there. Nothing of a damaged bundle is returned.
ParsedBundle ParseLauncherBundle(const std::string& bytes,
                                 const std::function<bool(const std::string&)>& isSafeName);
