// Linked only into the launcher's test variant: a failed transfer attempt is followed by a
// pause of a few milliseconds instead of five seconds, and a silent server ends an attempt
// after two seconds instead of thirty, so the failure paths of the end-to-end tests take
// little real time. Everything else is the launcher as shipped.
#include "download/DownloadPauses.h"
#include "download/TransferTimeouts.h"

namespace {

// The pauses and time-outs are constant-initialised atomics, so they exist before these
// objects are built.
ScopedDownloadPauses shortPauses(10, kSegmentPauseMs);
ScopedTransferTimeouts shortTimeouts(2000);

}  // namespace
