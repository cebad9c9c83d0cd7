// Which names the package tool may publish: only names the launcher installs as they are.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "SourceTree.h"

// Checks one relative name. False with the reason in *reason when the launcher would refuse it
// (it could reach outside its folder), could not carry it through a configuration line (an
// "=", white space at either end, a line break), or would turn it into another name on the way
// (a character the ANSI code page of this system cannot represent). Launcher files must also
// keep clear of the installation root's own files and of the "game\" folder.
bool IsPublishableName(const std::wstring& name, bool launcherFile, std::wstring* reason);

// Checks every name of a set that is installed into one folder, and the set as a whole: two
// names that differ only in case, or a name that is another's temporary download name (name +
// ".t"), would overwrite each other on Windows. False with a message naming the file.
bool CheckPublishableSet(const std::vector<SourceFile>& files, bool launcherFiles,
                         std::wstring* error);
// The same over count names given by name(i), with path(i) for the messages: one copy of the
// names, folded once, and a sort of their indexes (sets of half a million names).
bool CheckPublishableNames(size_t count, const std::function<std::wstring_view(size_t)>& name,
                           const std::function<std::wstring(size_t)>& path, bool launcherFiles,
                           std::wstring* error);
