// What a release publishes of each input file, held compactly for half a million files: the
// file's digest as bytes and the placement of its content (shared by every file of that
// content), each placement naming its package folder by an index into one table. The
// configuration's records and the source stamps are formatted from here a piece at a time.
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

    // Keeps where entry's content lies (its folder, range and SHA-256); returns its number.
    uint32_t AddPlacement(const PackedEntry& entry);
    // The entry of a placement, with md5 and inputSize as given.
    PackedEntry EntryOf(uint32_t placement, const std::string& md5, int64_t inputSize) const;

    // File i of the inputs: its digest (16 bytes), its placement, and whether it gets a stamp.
    void SetFile(size_t i, const std::string& md5, uint32_t placement, bool stamped);
    std::string Md5Of(size_t i) const;

    // Appends the next configuration records, about a MiB, for the files from *next on, in the
    // inputs' order (ConfigLine.h gives the form); false when every file was formatted.
    bool NextConfigLines(const SourceList& inputs, size_t* next, std::string* text) const;
    // Writes the source stamps of the stamped files (SourceStamps.h gives the form).
    bool WriteStamps(const SourceList& inputs, const std::wstring& root) const;

  private:
    struct Placement {
        int64_t offset = 0;
        int32_t length = 0;
        uint32_t folder = 0;
        bool sha256Known = false;
        unsigned char sha256[32] = {};
    };
    struct File {
        unsigned char md5[16] = {};
        uint32_t placement = 0;
        bool stamped = false;
    };

    std::vector<std::wstring> folders_;
    std::vector<std::string> folderTexts_;  // UTF-8, as the records carry them
    std::map<std::wstring, uint32_t> folderIndex_;
    std::vector<Placement> placements_;
    std::vector<File> files_;
};
