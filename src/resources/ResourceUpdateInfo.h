// One planned file action of an update: a file to fetch or to remove. No Windows header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resources/PackedDigest.h"

enum ResourceUpdateType : int32_t {
    UpdateTypeNone = 0,  // the configuration request
    UpdateTypeAdded = 1,
    UpdateTypeRemoved = 2,
    UpdateTypeChanged = 3,
};

struct ResourceUpdateInfo {
    std::wstring name;  // relative name (manifest field 1)
    // Digests packed into bytes where their text allows (PackedDigest gives the text back).
    PackedDigest<16> localMd5;   // digest of the local list; empty for a file it does not have
    PackedDigest<16> remoteMd5;  // digest of the CDN list; for a removal, the local digest
    int32_t updateType = UpdateTypeNone;
    std::wstring packageDir;  // manifest field 3
    int64_t offset = 0;       // manifest field 4; -1 for the configuration request
    int32_t length = 0;       // manifest field 5; summed as an unsigned 32-bit amount
    // SHA-256 of the range as stored (CDN field 7; may be empty), its text packed into bytes
    PackedDigest<32> remoteSha256;
};

using ResourceUpdateList = std::vector<ResourceUpdateInfo>;
