#include "app/DriveChoice.h"

std::wstring ChooseLargestFreeDrive(const std::vector<DriveCandidate>& drives) {
    std::wstring best;
    uint64_t bestFree = 0;
    for (const DriveCandidate& drive : drives) {
        if (drive.writable && drive.spaceKnown && drive.freeBytes > bestFree) {
            bestFree = drive.freeBytes;
            best = drive.root;
        }
    }
    return best;
}
