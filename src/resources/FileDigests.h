// Reads whole files and compares the MD5 of their bytes with digest texts: a small file in one
// read sized from its listed size, a large one in large sequential reads, several reading
// threads, so a full check runs at the speed of the disk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DigestJob {
    std::wstring path;
    std::wstring digest;   // an MD5 digest text (32 hexadecimal digits)
    uint64_t size = 0;     // the size listed: the first read is sized from it
    bool matches = false;  // the result: the file could be read and its MD5 is digest
};

// Called on the caller's thread, at most every kDigestProgressMs, with the bytes and files done.
using DigestProgress = std::function<void(uint64_t bytesDone, size_t filesDone)>;

constexpr unsigned kDigestProgressMs = 100;

// Fills in matches of every job; returns when all are done.
void DigestFiles(std::vector<DigestJob>* jobs, const DigestProgress& progress);
