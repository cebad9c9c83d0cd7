// Publishes a large file in content-defined chunks (resources/ContentChunker.h): streams the
// file once, stores every chunk the tree and this release do not store yet as a stream of its
// own in the packages (gzip, or the plain bytes when gzip saves nothing), and writes the file's
// chunk list into the tree as chunks\SHA256.txt, named by its own SHA-256 and never rewritten
// (resources/ChunkList.h gives the format).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "PackageWriter.h"
#include "resources/ChunkList.h"

extern const wchar_t kChunkListFolder[];  // "chunks"

struct ChunkStore {
    // The stored stream of content of this size and MD5 (16 bytes), when there is one; it may
    // complete the entry (its SHA-256) and fails with *error when it cannot.
    std::function<bool(int64_t size, const std::string& md5, PackedEntry* entry, bool* found,
                       std::wstring* error)>
        find;
    // A stream this run added.
    std::function<void(const PackedEntry&)> added;
};

struct ChunkedStats {
    size_t chunks = 0;
    size_t newChunks = 0;
    int64_t newBytes = 0;  // stored bytes of the new chunks
};

// md5: the file's MD5 as read before (16 bytes); the file must still have it. *reference gets
// the list's path, SHA-256 and the file's size.
bool PublishChunkedFile(const std::wstring& treeRoot, const std::wstring& path,
                        const std::string& md5, PackageWriter* writer, const ChunkStore& store,
                        ChunkReference* reference, ChunkedStats* stats, std::wstring* error);
