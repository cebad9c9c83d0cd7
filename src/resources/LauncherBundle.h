// The launcher bundle "launcher.tmp": one flag byte (0 while it is filled, 1 once complete),
// then records of (uint32 LE name length, name bytes, uint32 LE content length, content).
// Appending reports whether the bytes were written, so that a bundle missing a record is never
// marked complete; marking it complete first flushes what was written to the disk.
#pragma once

#include <cstdint>
#include <string>

// Deletes the bundle and creates it again holding the single flag byte 0.
void ResetBundle(const std::wstring& path);
// Appends bytes at the end of the bundle, creating it when missing.
bool AppendToBundle(const std::wstring& path, const std::string& bytes);
// Writes the flag byte at offset 0 (flag 1 only after the records are on the disk).
void SetBundleFlag(const std::wstring& path, uint8_t value);
void DeleteBundle(const std::wstring& path);

// Appends one record: name length, name (already encoded), content length, content.
bool AppendBundleRecord(const std::wstring& path, const std::string& name,
                        const std::string& content);

// The four little-endian bytes of value.
std::string EncodeUInt32LE(uint32_t value);
