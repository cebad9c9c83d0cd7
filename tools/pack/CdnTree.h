// A CDN tree of releases, as the package tool keeps it:
//   config\NAME.txt        one configuration per release (what the launcher is pointed at)
//   pkg\NNNN\qz_game.qzpkg the packages, shared by the releases; never rewritten
//   pkg\NNNN\contents.txt  what each package stores (PackageContents.h)
//   releases.txt           the tree's record: the highest package number ever used, then the
//                          releases in the order they were published, with their times
//   notice-record.txt      the releases the notice answers serve (NoticeRecord.h)
//   tree.lock              while a run holds the tree (TreeLock.h)
// Loading a tree checks that every configuration names only packages that are there and
// match what the configuration says of them. A configuration file the tool cannot read as a
// configuration, and a package named by nothing whose contents list is damaged, are reported
// and set aside: they never block a load, and nothing is ever reused from them.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "PackageContents.h"
#include "resources/ChunkList.h"
#include "resources/ManifestText.h"
#include "resources/SignedConfig.h"

struct TreePackage {
    std::wstring dir;       // "pkg/0003"
    std::wstring path;      // folder on disk, ends with "\"
    bool complete = false;  // its contents list is there
    bool damaged = false;   // its contents list is there but cannot be read
    std::vector<StoredStream> streams;
    int64_t fileSize = -1;  // of qz_game.qzpkg; -1 when it is missing
    bool named = false;     // a configuration names it (then it was checked)
};

struct TreeRelease {
    std::wstring name;
    std::wstring published;  // UTC, "2026-12-09T14:08:14Z"
};

// A file of config\ that the tool does not understand as a configuration: kept, with every
// package its text names.
struct OpaqueConfig {
    std::wstring file;                      // its file name ("r1.txt")
    std::wstring reason;                    // what is not understood
    std::vector<std::wstring> packageDirs;  // "pkg/0003" wherever its text names one
};

struct CdnTree {
    std::wstring root;                  // ends with "\"
    int32_t lastPackage = 0;            // the highest package number ever used in the tree
    std::vector<TreeRelease> releases;  // recorded, with a configuration; oldest first
    // Every configuration understood, by release: the package folders its records name (its
    // records are read again from its file when they are needed, ReadConfigRecords).
    std::map<std::wstring, std::vector<std::wstring>> configs;
    std::map<std::wstring, std::wstring> configFiles;    // their names in config\ ("R2.TXT")
    std::map<std::wstring, OpaqueConfig> opaqueConfigs;  // by release
    std::vector<std::wstring> notes;                     // what the load set aside, and why
    std::map<int32_t, TreePackage> packages;             // every package folder, by number
    std::map<std::wstring, SignedPart> signedParts;      // of the signed configurations
    // Of the configurations that publish files in chunks: the lines naming the lists, and the
    // packages the lists name.
    std::map<std::wstring, std::string> chunkLines;
    std::map<std::wstring, std::set<std::wstring>> chunkPackages;
};

extern const wchar_t kReleaseRecordName[];

// Release names become file names and addresses: 1 to 64 letters, digits, ".", "_" and "-",
// starting with a letter or digit.
bool IsValidReleaseName(const std::wstring& name);

// The configuration's file name in config\: as the tree holds it, else NAME.txt.
std::wstring ConfigFileOf(const CdnTree& tree, const std::wstring& release);
std::wstring ConfigPathOf(const CdnTree& tree, const std::wstring& release);

// Reads the tree below root (a missing or empty folder is an empty tree). False with a
// message when it cannot be read, or a configuration names a package that is missing or
// does not hold what the configuration says.
bool LoadCdnTree(const std::wstring& root, CdnTree* tree, std::wstring* error);

// The records of a configuration the tree understands, read again from its file. False with a
// message when it cannot be read.
bool ReadConfigRecords(const CdnTree& tree, const std::wstring& release, ResoureConfigList* lines,
                       std::wstring* error);

// Writes the record (beside, then renamed over the previous one).
bool WriteReleaseRecord(const std::wstring& root, int32_t lastPackage,
                        const std::vector<TreeRelease>& releases, std::wstring* error);

// The current time as the record keeps it.
std::wstring UtcNowText();
