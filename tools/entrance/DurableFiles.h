// File operations of the entrance that must hold after a power cut or a kill: writes reach the
// disk before they count, and removals also take files marked read-only.
#pragma once

#include <string>

// Creates or truncates path, writes bytes and flushes them to the disk. False when any step
// fails; a partial file may be left then.
bool WriteDurably(const std::wstring& path, const std::string& bytes);

// Appends bytes to path (created when missing) and flushes them to the disk.
bool AppendDurably(const std::wstring& path, const std::string& bytes);

// Deletes path, clearing a read-only attribute first. True when the file is gone (or was
// never there).
bool RemoveFile(const std::wstring& path);

// Renames from to to, replacing to, written through to the disk.
bool MoveOver(const std::wstring& from, const std::wstring& to);

bool PathExists(const std::wstring& path);
