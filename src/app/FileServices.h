// File and disk services on wide paths. Every failure is reported as false; nothing stays open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Openable: opening for reading (existing file, read and write sharing) succeeds. Never a folder.
bool FileExists(const std::wstring& path);
// Deletes an openable file; true when it was openable (even if the deletion failed).
bool DeleteFileIfExists(const std::wstring& path);
// Creates every missing directory along path (serialised process-wide). True when the last
// directory that had to be created was created; false when nothing was missing or it failed.
bool CreateDirectories(const std::wstring& path);
// Reads a UTF-8 text file, skipping a leading byte-order mark.
bool ReadTextFile(const wchar_t* path, std::wstring* out);
// Reads the whole file; out is passed empty and stays untouched for an empty file.
bool ReadFileBytes(const std::wstring& path, std::string* out);
// Creates the parent directory when missing, then creates or truncates the file.
bool WriteTextFile(const wchar_t* path, const std::wstring& text);
bool WriteFileBytes(const wchar_t* path, const std::string& bytes);
// Writes the bytes to path + ".new", then moves that over path (write-through), so that path
// holds its old bytes or the new ones, never a part. With replace false an existing path is
// left alone and the call fails. Nothing stays beside it on failure.
bool WriteFileBeside(const std::wstring& path, const std::string& bytes, bool replace = true);
// The text before the last backslash; false (out untouched) when there is none.
bool GetParentDirectory(const std::wstring& path, std::wstring* out);
// Fixed file version of an executable: major, minor, build, revision.
bool GetFileVersion(const std::wstring& path, uint32_t* major, uint32_t* minor, uint32_t* build,
                    uint32_t* revision);
// Appends the root ("C:\") of every fixed drive in the system's order.
bool ListFixedDrives(std::vector<std::wstring>* out);
// True when a probe file can be created in dir (dir ends with a backslash).
bool IsWritableDirectory(const std::wstring& dir);
// The writable fixed drive with the most free space (first wins on a tie).
bool FindLargestFreeDrive(std::wstring* out);
// Free bytes available on the volume holding path (-1 when unknown).
int64_t GetFreeDiskBytes(const std::wstring& path);
// True when path names an existing directory.
bool DirectoryExists(const std::wstring& path);
