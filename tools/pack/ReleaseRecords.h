// What a release publishes of each input file, held compactly for half a million files: per
// file the number of its placement; per placement (one for each distinct content, shared by
// every file of that content) its range, its digests as bytes, the size it unpacks to and its
// package folder by an index into one table. The content this release added is indexed by size
// and MD5 in an open table of placement numbers. The configuration's records and the source
// stamps are formatted from here a piece at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "PackageWriter.h"
#include "SourceList.h"

class ReleaseRecords {
  public:
    explicit ReleaseRecords(size_t files);

    // Keeps where entry's content lies (its folder, range, MD5, size and SHA-256); returns its
    // number.
    uint32_t AddPlacement(const PackedEntry& entry);
    PackedEntry EntryOf(uint32_t placement) const;

    // New content of this release: the placement of content of this size and MD5 (16 bytes)
    // that AddContent indexed.
    bool FindContent(int64_t size, const std::string& md5, uint32_t* placement) const;
    void AddContent(uint32_t placement);

    // File i of the inputs: its placement, and whether it gets a stamp.
    void SetFile(size_t i, uint32_t placement, bool stamped);
    // Until its placement is set, file i may hold another number (the stamp it was settled by).
    void Hold(size_t i, uint32_t value) { files_[i] = value; }
    uint32_t Held(size_t i) const { return files_[i]; }

    // Appends the next configuration records, about a MiB, for the files from *next on, in the
    // inputs' order (ConfigLine.h gives the form); false when every file was formatted.
    bool NextConfigLines(const SourceList& inputs, size_t* next, std::string* text) const;
    // Writes the source stamps of the stamped files (SourceStamps.h gives the form).
    bool WriteStamps(const SourceList& inputs, const std::wstring& root) const;

  private:
    static const uint32_t kStamped = 0x80000000u;      // in a file's word, above its placement
    static const uint32_t kSha256Known = 0x80000000u;  // in a placement's folder word

    struct Placement {
        int64_t offset = 0;
        int64_t inputSize = 0;
        int32_t length = 0;
        uint32_t folder = 0;  // with kSha256Known
        unsigned char md5[16] = {};
        unsigned char sha256[32] = {};
    };
    const Placement& PlacementOfFile(size_t i) const { return placements_[files_[i] & ~kStamped]; }
    size_t SlotOf(int64_t size, const unsigned char* md5) const;
    void GrowContent();

    std::vector<std::string> folderTexts_;  // UTF-8, as the records carry them
    std::map<std::wstring, uint32_t> folderIndex_;
    std::vector<std::wstring> folders_;
    std::vector<Placement> placements_;
    std::vector<uint32_t> files_;    // placement, with kStamped
    std::vector<uint32_t> content_;  // placement + 1, or 0 for an empty slot; size a power of 2
    size_t contentCount_ = 0;
};
