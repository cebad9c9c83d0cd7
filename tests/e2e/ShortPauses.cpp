// Linked only into the launcher's test variant: a failed transfer attempt is followed by a
// pause of a few milliseconds instead of five seconds, so the failure paths of the end-to-end
// tests take no real time. Everything else is the launcher as shipped.
#include "download/DownloadPauses.h"

namespace {

// The pauses are constant-initialised atomics, so they exist before this object is built.
ScopedDownloadPauses shortPauses(10, kSegmentPauseMs);

}  // namespace
