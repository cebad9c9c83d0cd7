// The on-disk steps of one downloaded file: the temporary file D + N + ".t" that receives the
// raw range, and its unpacking into the installed file D + N.
#pragma once

#include <cstdint>
#include <string>

#include "framework/ScopedHandle.h"

// Creates the missing folders of D + N, deletes D + N + ".t" and D + N, and creates the
// temporary file for writing. An invalid handle when the name is not safe to join to dir (see
// IsSafeManifestName), has no folder part, or the file cannot be created.
ombrix::ScopedFileHandle PrepareDownloadFile(const std::wstring& dir, const std::wstring& name);

// Unpacks the closed temporary file into D + N and deletes it on success. False when the
// temporary file was empty (it then stays) or the unpacking failed.
bool InstallDownloadedFile(const std::wstring& dir, const std::wstring& name, int64_t tempLength);

// D + N + ".t".
std::wstring DownloadTempPath(const std::wstring& dir, const std::wstring& name);
