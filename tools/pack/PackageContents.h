// The contents list beside each package file (pkg\NNNN\contents.txt): one line per gzip stream
// of the package, in package order: md5=size=offset=length=sha256 (the digest as 32 upper-case
// hex digits, the size of the file the stream unpacks to, and the SHA-256 of the stream as
// stored, 64 upper-case hex digits; packages written before it was kept lack the last field).
// Written once, when the package is complete; later releases find there what the tree already
// stores.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct StoredStream {
    unsigned char md5[16] = {};
    int64_t size = 0;
    int64_t offset = 0;
    int32_t length = 0;
    bool hasSha256 = false;  // not recorded by older packages
    unsigned char sha256[32] = {};

    std::string Md5Hex() const;
    std::string Md5Bytes() const { return std::string(reinterpret_cast<const char*>(md5), 16); }
    std::string Sha256Bytes() const {
        return hasSha256 ? std::string(reinterpret_cast<const char*>(sha256), 32) : std::string();
    }
};

extern const wchar_t kContentsFileName[];

// Appends the stream's line of the contents list.
void AppendPackageContentsLine(const StoredStream& stream, std::string* text);
std::string FormatPackageContents(const std::vector<StoredStream>& streams);
// False when a line does not fit, or the streams do not follow each other from offset 0.
bool ParsePackageContents(const std::string& text, std::vector<StoredStream>* streams);
