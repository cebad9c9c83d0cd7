#include "resources/QuickCheck.h"

#include "resources/ContentDigest.h"

namespace {

// md5: the recorded digest is an MD5 text; stamped: the stamp is of that digest; unchanged: and
// the file is listed with the stamp's size and time.
CheckVerdict Judge(bool md5, bool stamped, bool unchanged, bool full) {
    if (md5) return full || !unchanged ? CheckVerdict::Digest : CheckVerdict::Intact;
    if (unchanged) return CheckVerdict::Intact;
    return stamped ? CheckVerdict::Missing : CheckVerdict::Adopt;
}

}  // namespace

CheckVerdict JudgeRecordedFile(const std::wstring& digest, const InstallStamp* stamp,
                               const ListedFile* listed, bool full) {
    if (listed == nullptr) return CheckVerdict::Missing;
    // A stamp speaks only for the content it was taken with.
    const bool stamped = stamp != nullptr && stamp->digest == digest;
    const bool unchanged =
        stamped && stamp->size == listed->size && stamp->writeTime == listed->writeTime;
    return Judge(IsMd5DigestText(digest), stamped, unchanged, full);
}

CheckVerdict JudgeRecordedFile(const PackedDigest<16>& digest, const TableStamp* stamp,
                               const ListedFile* listed, bool full) {
    if (listed == nullptr) return CheckVerdict::Missing;
    const bool stamped = stamp != nullptr && stamp->digest == digest;
    const bool unchanged =
        stamped && stamp->size == listed->size && stamp->writeTime == listed->writeTime;
    // Hexadecimal of one case is packed; of mixed case it is kept as text.
    const bool md5 = digest.Bytes() != nullptr || IsMd5DigestText(std::wstring(digest.View()));
    return Judge(md5, stamped, unchanged, full);
}
