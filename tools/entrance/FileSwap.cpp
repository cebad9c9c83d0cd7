#include "FileSwap.h"

#include "DurableFiles.h"
#include "SwapJournal.h"
#include "app/FileServices.h"

namespace {

std::wstring Staged(const std::wstring& target) {
    return target + kStagedSuffix;
}

std::wstring Replaced(const std::wstring& target) {
    return target + kReplacedSuffix;
}

// Before the commit: the target as it was. A target that did not exist is removed again.
bool PutBack(const JournalEntry& entry) {
    bool done = RemoveFile(Staged(entry.target));
    if (PathExists(Replaced(entry.target))) {
        done = MoveOver(Replaced(entry.target), entry.target) && done;
    } else if (!entry.replaces) {
        done = RemoveFile(entry.target) && done;
    }
    return done;
}

// After the commit: only the replaced file is left to remove.
bool Complete(const JournalEntry& entry) {
    return RemoveFile(Staged(entry.target)) && RemoveFile(Replaced(entry.target));
}

}  // namespace

FileSwap::~FileSwap() {
    if (!finished_) Undo();
}

bool FileSwap::RecoverInterrupted(const std::wstring& journalPath) {
    std::string text;
    if (!PathExists(journalPath)) return true;
    if (!ReadFileBytes(journalPath, &text)) return false;
    const SwapJournal journal = ParseJournal(text);
    bool done = true;
    for (const JournalEntry& entry : journal.entries) {
        done = (journal.committed ? Complete(entry) : PutBack(entry)) && done;
    }
    return done && RemoveFile(journalPath);
}

bool FileSwap::Stage(const std::wstring& target, const std::string& content) {
    const std::wstring staged = Staged(target);
    std::wstring folder;
    if (GetParentDirectory(staged, &folder) && !DirectoryExists(folder)) CreateDirectories(folder);
    if (!WriteDurably(staged, content)) {
        RemoveFile(staged);
        return false;
    }
    entries_.push_back(Entry{target});
    return true;
}

bool FileSwap::Commit() {
    std::vector<JournalEntry> noted;
    for (const Entry& entry : entries_) {
        // A replaced file an earlier swap could not remove belongs to no swap any more: it
        // goes, and is never put back over a newer file.
        if (!RemoveFile(Replaced(entry.target))) {
            Undo();
            return false;
        }
        noted.push_back({entry.target, PathExists(entry.target)});
    }
    if (!WriteDurably(journalPath_, FormatJournal(noted))) {
        Undo();
        return false;
    }
    for (Entry& entry : entries_) {
        if (!Swap(entry)) {
            Undo();
            return false;
        }
    }
    if (!AppendDurably(journalPath_, kJournalCommitLine)) {
        Undo();
        return false;
    }
    return true;
}

bool FileSwap::Swap(Entry& entry) {
    if (PathExists(entry.target)) {
        // Fails while another process holds the target open without delete sharing.
        if (!MoveOver(entry.target, Replaced(entry.target))) return false;
        entry.hadOld = true;
    }
    if (!MoveOver(Staged(entry.target), entry.target)) {
        if (entry.hadOld && MoveOver(Replaced(entry.target), entry.target)) entry.hadOld = false;
        return false;
    }
    entry.swapped = true;
    return true;
}

void FileSwap::Finish() {
    bool removed = true;
    for (const Entry& entry : entries_) {
        if (entry.hadOld) removed = RemoveFile(Replaced(entry.target)) && removed;
    }
    // A replaced file that stays (held open by another program) is removed at the next start.
    if (removed) RemoveFile(journalPath_);
    finished_ = true;
}

void FileSwap::Undo() {
    bool restored = true;
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->swapped) {
            restored = (it->hadOld ? MoveOver(Replaced(it->target), it->target)
                                   : RemoveFile(it->target)) &&
                       restored;
        } else if (it->hadOld) {
            restored = MoveOver(Replaced(it->target), it->target) && restored;
        }
        RemoveFile(Staged(it->target));
    }
    // What could not be put back is put back from the journal at the next start.
    if (restored) RemoveFile(journalPath_);
    entries_.clear();
    finished_ = true;
}
