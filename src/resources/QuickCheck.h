// What the start makes of one recorded resource, from a listing of its folder and the stamp it
// got when its bytes were last checked. No Windows header.
#pragma once

#include <cstdint>
#include <string>

#include "resources/InstallStamps.h"

// A file as its folder's listing shows it.
struct ListedFile {
    uint64_t size = 0;
    uint64_t writeTime = 0;  // 100-nanosecond intervals since 1601 (UTC)
};

enum class CheckVerdict {
    Intact,   // size and time as stamped for this digest: taken as it is
    Digest,   // to be read and its MD5 compared with the recorded digest
    Missing,  // gone, or changed while its digest is no MD5 that could confirm it
    Adopt,    // never stamped and its digest is no MD5: trusted, and stamped as it is now
};

// digest: the recorded digest (not empty); stamp: its entry in the stamps list, or null;
// listed: the file on disk, or null when there is none; full: read the content whatever the
// stamp says.
CheckVerdict JudgeRecordedFile(const std::wstring& digest, const InstallStamp* stamp,
                               const ListedFile* listed, bool full);
// The same for a digest of a list and a stamp of a table.
CheckVerdict JudgeRecordedFile(const PackedDigest<16>& digest, const TableStamp* stamp,
                               const ListedFile* listed, bool full);
