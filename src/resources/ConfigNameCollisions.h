// Names of a configuration that would land on the same file of a Windows file system, or on a
// file the launcher keeps for itself. No Windows header.
#pragma once

#include <string>

#include "resources/ResoureConfigInfo.h"

// The key under which a file system finds a name: "/" read as "\", letters folded to upper case
// (ASCII, Latin-1, Greek, Cyrillic and full-width Latin; other scripts have no case).
std::wstring FileSystemKey(const std::wstring& name);

// Whether a list names one file twice within its target folder: two names equal ignoring case,
// or a name beside the same name plus ".t" (the temporary name of a download). Resources and
// launcher files are apart (the game folder and the launcher folder). A launcher file may also
// not take the name of a file the launcher keeps in its folder ("version.txt",
// "version.txt.new", "launcher.tmp", "launcher_manifest.txt") nor be, or lie under, "game".
bool HasCollidingNames(const ResoureConfigList& list);
