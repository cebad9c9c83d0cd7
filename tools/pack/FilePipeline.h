// Reads, hashes and compresses the input files on several threads and hands the results over
// in the inputs' order, on the calling thread. Files whose content the tree already stores are
// only hashed. At most a bounded window of finished results waits to be taken.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "GzipCompressor.h"

struct PreparedFile {
    FileDigest digest;
    bool known = false;    // isKnown said the content is stored already: not compressed
    bool whole = true;     // false: too large to hold, the taker compresses it from the file
    std::string gz;        // the gzip stream, when compressed here
    std::string gzSha256;  // its SHA-256 (32 bytes), computed here too
    std::wstring error;    // not empty when the file could not be read or compressed
};

// Runs threads workers over count files, the path of file i being pathOf(i). pathOf and
// isKnown (whether the tree stores content) are called on the workers and must be safe to call
// from several threads at once. take gets every result in order and stops the run by
// returning false. Returns false when take did. What it holds does not grow with count.
bool RunFilePipeline(size_t count, const std::function<std::wstring(size_t)>& pathOf, int threads,
                     const std::function<bool(const FileDigest&)>& isKnown,
                     const std::function<bool(size_t, PreparedFile*)>& take);

// Worker threads worth starting on this machine.
int DefaultThreadCount();
