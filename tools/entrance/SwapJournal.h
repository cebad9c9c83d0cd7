// The journal of a file swap: the targets of the swap, written to the disk before the first
// file moves, and a commit line once every new file is in place. Whatever moment a swap is cut
// short at, the journal alone tells how to finish it. No Windows header.
#pragma once

#include <string>
#include <vector>

struct JournalEntry {
    std::wstring target;
    bool replaces = false;  // the target existed and is moved aside during the swap
};

struct SwapJournal {
    std::vector<JournalEntry> entries;
    bool committed = false;  // every new file was in place
};

// The journal's text: one line per target ("R " or "N " and the path, UTF-8).
std::string FormatJournal(const std::vector<JournalEntry>& entries);
// The line appended once the swap is committed.
inline constexpr char kJournalCommitLine[] = "commit\n";
// Reads a journal's text; a line cut short by a kill names no file of the swap and is skipped.
SwapJournal ParseJournal(const std::string& text);
