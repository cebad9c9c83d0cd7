// Names of a configuration that would land on the same file of a Windows file system, or on a
// file the launcher keeps for itself. No Windows header.
#pragma once

#include <string>
#include <vector>

#include "resources/ResoureConfigInfo.h"
#include "resources/ResoureConfigMap.h"

// The key under which a file system finds a name: "/" read as "\", letters folded to upper case
// the way the file system folds them (FileSystemUpperCase).
std::wstring FileSystemKey(const std::wstring& name);

// Whether names meant for one folder meet on the file system: two land on one file (equal
// ignoring case), one is another's temporary download name (name plus ".t"), or one is a folder
// of another ("a" and "a\b": a file and a folder cannot share a name).
bool NamesMeetInOneFolder(const std::vector<std::wstring>& names);

// Whether a list names one file twice within its target folder (NamesMeetInOneFolder).
// Resources and launcher files are apart (the game folder and the launcher folder). A launcher
// file may also not take the name of a file the launcher keeps in its folder ("version.txt",
// "version.txt.new", "launcher.tmp", "launcher_manifest.txt") nor be, or lie under, "game" or
// one of those names.
bool HasCollidingNames(const ResoureConfigList& list);
// The same over a configuration split into its two targets (the names of one map are distinct).
// Holds a 64-bit hash of every key, not the keys: keys are made again only where hashes meet.
bool HasCollidingNames(const ResoureConfigMap& resources, const ResoureConfigMap& launcherFiles);
