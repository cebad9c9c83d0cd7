// One line of the CDN configuration the package tool publishes:
// name=md5=packageDir=offset=length, followed by "=launcher" for a launcher file.
#pragma once

#include <string>

#include "PackageWriter.h"

std::wstring FormatConfigLine(const std::wstring& name, const PackedEntry& entry,
                              bool launcherFile);
