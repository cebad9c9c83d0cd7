#include "FileSwap.h"

#include <windows.h>

#include "app/FileServices.h"

namespace {

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Move(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace

FileSwap::~FileSwap() {
    if (!finished_) Undo();
}

void FileSwap::RecoverInterrupted(const std::wstring& target) {
    const std::wstring replaced = target + kReplacedSuffix;
    if (Exists(replaced)) Move(replaced, target);
    ::DeleteFileW((target + kStagedSuffix).c_str());
}

bool FileSwap::Stage(const std::wstring& target, const std::string& content) {
    const std::wstring staged = target + kStagedSuffix;
    std::wstring folder;
    if (GetParentDirectory(staged, &folder) && !DirectoryExists(folder)) CreateDirectories(folder);
    // WriteFileBytes truncates and writes everything or reports false.
    if (!WriteFileBytes(staged.c_str(), content)) {
        ::DeleteFileW(staged.c_str());
        return false;
    }
    entries_.push_back(Entry{target});
    return true;
}

bool FileSwap::Commit() {
    for (Entry& entry : entries_) {
        const std::wstring replaced = entry.target + kReplacedSuffix;
        if (Exists(entry.target)) {
            // Fails while another process holds the target open without delete sharing.
            if (!Move(entry.target, replaced)) {
                Undo();
                return false;
            }
            entry.hadOld = true;
        }
        if (!Move(entry.target + kStagedSuffix, entry.target)) {
            if (entry.hadOld) Move(replaced, entry.target);
            entry.hadOld = false;
            Undo();
            return false;
        }
        entry.swapped = true;
    }
    return true;
}

void FileSwap::Finish() {
    for (const Entry& entry : entries_) {
        if (entry.hadOld) ::DeleteFileW((entry.target + kReplacedSuffix).c_str());
    }
    finished_ = true;
}

void FileSwap::Undo() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->swapped) {
            if (it->hadOld) {
                Move(it->target + kReplacedSuffix, it->target);
            } else {
                ::DeleteFileW(it->target.c_str());
            }
        }
        ::DeleteFileW((it->target + kStagedSuffix).c_str());
    }
    entries_.clear();
}
