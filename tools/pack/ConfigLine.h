// One line of the CDN configuration the package tool publishes:
// name=md5=packageDir=offset=length=category=sha256: category "launcher" for a launcher file,
// "game" for a game resource; sha256 of the range as stored (64 upper-case hex digits), a
// seventh field that readers of the six-field grammar skip.
#pragma once

#include <cstdint>
#include <string>

#include "PackageWriter.h"
#include "resources/ResoureConfigInfo.h"

std::wstring FormatConfigLine(const std::wstring& name, const PackedEntry& entry,
                              bool launcherFile);
// The same line for a record read from a configuration of the tree (md5 and sha256 as text).
std::wstring FormatConfigLine(const ResoureConfigInfo& info);

// Appends the decimal digits of value (what std::to_wstring gives, without its formatting cost).
void AppendDecimal(uint64_t value, std::wstring* text);
