// Publishes one release into a CDN tree: the packages the release needs that the tree does not
// hold yet, the tree's record, and last the release's configuration, written beside and
// renamed into place, so that no configuration ever names missing or partial bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CdnTree.h"
#include "SourceList.h"
#include "SourceStamps.h"
#include "TreeSigning.h"

// Files of thresholdBytes and more are published in chunks as well (ChunkedFile.h); with
// chunkOnly, or from kChunkOnlySize on (compressed, they may not fit a record's range), in chunks
// only: their record then holds the whole file's MD5, "chunks", 0, 0 and the list's SHA-256, and
// only a launcher that reads chunk lists installs them.
struct ChunkSettings {
    static const int64_t kChunkOnlySize = (int64_t(2) << 30) - (int64_t(64) << 20);
    int64_t thresholdBytes = int64_t(8) << 20;
    bool chunkOnly = false;
};

struct PublishStats {
    size_t files = 0;
    size_t launcherFiles = 0;
    int64_t inputBytes = 0;
    size_t readFiles = 0;  // the others were taken by their stamps
    size_t reusedFiles = 0;
    int64_t reusedBytes = 0;  // bytes of package data the release shares with the tree
    std::vector<std::wstring> newPackages;
    int64_t newBytes = 0;
    uint64_t serial = 0;  // of the signed configuration; 0 when unsigned
    size_t chunkedFiles = 0;
    size_t chunks = 0;
    size_t newChunks = 0;
};

// tree comes from LoadCdnTree and is updated to the new state. False with a message when a
// file cannot be read or the tree cannot be written; the new packages are removed again.
// A file whose size and write time match its entry of previous (the tree's source stamps, or
// none to read every file) is taken by the stamp's digest (SourceStamps.h). With key, the
// configuration is signed (TreeSigning.h), expiring after expiresDays (0: never).
bool PublishRelease(CdnTree* tree, const std::wstring& release, const SourceList& inputs,
                    int64_t packageLimit, int threads, const SourceStamps& previous,
                    PublishStats* stats, std::wstring* error, const SigningKey* key = nullptr,
                    int64_t expiresDays = 0, const ChunkSettings& chunking = ChunkSettings());
