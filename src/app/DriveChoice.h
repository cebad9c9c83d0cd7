// The choice of the drive for the game installation, from what was learnt about each drive.
// No Windows header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DriveCandidate {
    std::wstring root;        // "C:\" form
    bool writable = false;    // a probe file could be created in the root
    bool spaceKnown = false;  // the free space could be read
    uint64_t freeBytes = 0;   // total free bytes of the volume
};

// The root of the writable drive with the most free bytes, in list order; an earlier drive
// wins a tie and a drive with 0 free bytes is never chosen. Empty when no drive qualifies.
std::wstring ChooseLargestFreeDrive(const std::vector<DriveCandidate>& drives);
