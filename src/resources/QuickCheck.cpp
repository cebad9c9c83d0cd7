#include "resources/QuickCheck.h"

#include "resources/ContentDigest.h"

CheckVerdict JudgeRecordedFile(const std::wstring& digest, const InstallStamp* stamp,
                               const ListedFile* listed, bool full) {
    if (listed == nullptr) return CheckVerdict::Missing;
    // A stamp speaks only for the content it was taken with.
    const bool stamped = stamp != nullptr && stamp->digest == digest;
    const bool unchanged =
        stamped && stamp->size == listed->size && stamp->writeTime == listed->writeTime;
    if (IsMd5DigestText(digest)) {
        return full || !unchanged ? CheckVerdict::Digest : CheckVerdict::Intact;
    }
    if (unchanged) return CheckVerdict::Intact;
    return stamped ? CheckVerdict::Missing : CheckVerdict::Adopt;
}
