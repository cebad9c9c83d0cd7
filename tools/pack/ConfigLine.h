// One line of the CDN configuration the package tool publishes:
// name=md5=packageDir=offset=length, followed by "=launcher" for a launcher file.
#pragma once

#include <cstdint>
#include <string>

#include "PackageWriter.h"

std::wstring FormatConfigLine(const std::wstring& name, const PackedEntry& entry,
                              bool launcherFile);

// Appends the decimal digits of value (what std::to_wstring gives, without its formatting cost).
void AppendDecimal(uint64_t value, std::wstring* text);
