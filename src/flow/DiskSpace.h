// Texts and arithmetic of the free-space check before a download. No Windows header.
#pragma once

#include <cstdint>
#include <string>

// The drive of an installation root: the text up to and including its first backslash
// ("D:\VEMO\Ombrix\" gives "D:\"). False when the root has no backslash.
bool DriveOfRoot(const std::wstring& root, std::wstring* drive);

// Shown when the free space cannot be measured.
extern const wchar_t kDiskSizeUnknownText[];

// The question when needed exceeds freeBytes, naming the drive and the missing amount.
std::wstring DiskShortageText(const std::wstring& drive, int64_t needed, int64_t freeBytes);
