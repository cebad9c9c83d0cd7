// Which releases the tree's notice answers send players to, kept in TREE\notice-record.txt so
// that a cleanup never deletes one of them. One line per answer file:
//   served=NAME=TIME=FILE
// NAME the release, TIME (UTC) when the answer was written, FILE the answer's full path (last,
// as it may hold "="). While an answer is switched to another release, both releases are listed
// for it, so that a run stopped between the two writes leaves both kept.
#pragma once

#include <string>
#include <vector>

struct ServedRelease {
    std::wstring release;
    std::wstring since;
    std::wstring answerFile;
};

extern const wchar_t kNoticeRecordName[];

// root ends with "\". A missing record is an empty one; false with a message when it cannot be
// read or holds a line of another form (then what it protects is unknown).
bool ReadNoticeRecord(const std::wstring& root, std::vector<ServedRelease>* served,
                      std::wstring* error);

// Writes the record (beside, then renamed over the previous one); an empty list removes it.
bool WriteNoticeRecord(const std::wstring& root, const std::vector<ServedRelease>& served,
                       std::wstring* error);

// served with entry's answer file now serving entry's release; keepEarlier keeps what that
// file served before as well (for the moment of the switch). Answer files compare without case.
std::vector<ServedRelease> RecordServing(const std::vector<ServedRelease>& served,
                                         const ServedRelease& entry, bool keepEarlier);
