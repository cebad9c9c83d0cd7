// Chunk lists of large files. A configuration names the list of each chunked file in its signed
// part, after the blank line that ends the records, one line per file:
//   chunks=NAME=LIST=SHA256=SIZE
// NAME the file's name as in its record, LIST the list file's path relative to the CDN base,
// SHA256 the list file's SHA-256 (64 hexadecimal digits: the signature covers every list through
// it), SIZE the file's size in bytes. The list file is UTF-8 text: a first line
// "chunker=NAME" (the cutting parameters, ContentChunker::kChunkerName), then one line per
// chunk in file order:
//   DIGEST=SIZE=PACKAGEDIR=OFFSET=LENGTH=RANGESHA256
// DIGEST the SHA-256 of the chunk's bytes, SIZE their number, and where the chunk is stored as
// the records say where a file is: a range of PACKAGEDIR/qz_game.qzpkg, with the range's SHA-256.
// Lines end with "\r\n". No Windows header.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct ChunkReference {
    std::string listPath;    // relative to the CDN base, "/" between parts
    std::string listSha256;  // 32 bytes
    uint64_t fileSize = 0;
};

// name (UTF-8) -> its chunk list.
using ChunkReferences = std::map<std::string, ChunkReference>;

struct ChunkEntry {
    unsigned char digest[32];
    uint32_t size = 0;
    uint32_t package = 0;  // index into ChunkList::packageDirs
    int64_t offset = 0;
    uint32_t length = 0;
    unsigned char rangeSha256[32];
};

struct ChunkList {
    std::vector<std::string> packageDirs;  // each once
    std::vector<ChunkEntry> chunks;        // in file order
    uint64_t fileSize = 0;                 // sum of the chunk sizes
};

// The "chunks=" lines of the part after the records of a configuration body. A line that does
// not fit the form is skipped; the first line of a name counts.
// Reads body's bytes in place (a configuration's signed bytes are not copied out of it).
ChunkReferences ParseChunkReferences(std::string_view body);
std::string FormatChunkReference(const std::string& name, const ChunkReference& reference);

// Reads a list file; false when it is not exactly of the form above (another chunker, a field
// out of range, a package directory that is not a plain relative path, no chunk).
bool ParseChunkList(const std::string& text, ChunkList* list);
std::string FormatChunkListHeader();
std::string FormatChunkEntry(const ChunkEntry& entry, const std::string& packageDir);
