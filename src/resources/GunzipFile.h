// Unpacking of one downloaded range with zlib's gzip file reader.
#pragma once

#include <string>

// Decompresses sourcePath into destPath (created or truncated). Data that is not gzip passes
// through unchanged. False on any read or write error, on a CRC-32 or length mismatch in the
// gzip trailer and on a gzip stream that ends early; destPath may then hold a partial file.
// Paths are wide, so names outside the ANSI code page survive.
bool GunzipFile(const std::wstring& sourcePath, const std::wstring& destPath);
