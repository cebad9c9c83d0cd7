// The launcher bundle "launcher.tmp": one flag byte (0 while it is filled, 1 once complete),
// then records of (uint32 LE name length, name bytes, uint32 LE content length, content).
// Every operation ignores its errors; the flag is a separate write.
#pragma once

#include <cstdint>
#include <string>

// Deletes the bundle and creates it again holding the single flag byte 0.
void ResetBundle(const std::wstring& path);
// Appends bytes at the end of the bundle, creating it when missing.
void AppendToBundle(const std::wstring& path, const std::string& bytes);
// Writes the flag byte at offset 0.
void SetBundleFlag(const std::wstring& path, uint8_t value);
void DeleteBundle(const std::wstring& path);

// Appends one record: name length, name (already encoded), content length, content.
void AppendBundleRecord(const std::wstring& path, const std::string& name,
                        const std::string& content);

// The four little-endian bytes of value.
std::string EncodeUInt32LE(uint32_t value);
