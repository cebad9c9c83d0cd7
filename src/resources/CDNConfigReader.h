// Reads a CDN configuration's body once, a piece at a time, into the maps of its targets: the
// pieces may cut lines, characters and line ends anywhere (a line cut in two is assembled in a
// small buffer), and none of them is needed once it was added. The records end at the first blank
// line or at the first zero byte; the body from the first line of blanks on (the signed part) is
// kept apart as the tail, and every byte before it can be passed on as it goes (the signature's
// digest). The results are those of a parse of the whole body at once. No Windows header.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "resources/CDNConfigText.h"
#include "resources/CDNDownloadState.h"
#include "resources/ManifestText.h"
#include "resources/SignedConfig.h"

class CDNConfigReader {
  public:
    // decodesByLine: the text (the bytes before textEnd) is ASCII or well-formed UTF-8, else it is
    // read in the ANSI code page; textEnd: offset of the body's first zero byte, npos when none;
    // lines: the lines of the text (room for that many records is made); allCarrySha256: whether
    // to tell if every record carries its SHA-256.
    CDNConfigReader(bool decodesByLine, size_t textEnd, size_t lines, bool allCarrySha256);
    CDNConfigReader(const CDNConfigReader&) = delete;
    CDNConfigReader& operator=(const CDNConfigReader&) = delete;

    // Every byte before the tail, in order, each once (optional).
    std::function<void(const char* data, size_t size)> onLeadingBytes;

    // The next bytes of the body.
    void Add(const char* data, size_t size);
    // Ends the body. On CDNDownloadSuccess maps (replaced) holds the records and allCarrySha256
    // tells whether each carries its SHA-256; on CDNDownloadParseFailed, maps is emptied (no
    // record, a name not safe to join to a target directory, a range that is not one, names
    // that collide). tail receives the tail either way.
    CDNDownloadState Finish(CDNConfigMaps* maps, bool* allCarrySha256, ConfigTail* tail);

  private:
    // Whole lines (or, with last, the rest of the body) starting at body offset at.
    void AddLines(const char* data, size_t size, size_t at, bool last);
    void ParseLines(const char* data, size_t size, size_t at, bool last);

    const bool decodesByLine_;
    const size_t textEnd_;
    const bool checkSha256_;
    CDNConfigMaps parsed_;
    AcceptRecord accept_;
    bool parsing_ = true;  // the records have not ended yet
    bool refused_ = false;
    bool allCarrySha256_ = true;
    size_t records_[2] = {0, 0};  // accepted for the resources, for the launcher
    size_t received_ = 0;         // bytes given so far
    std::string line_;            // the start of a line the last piece cut
    std::wstring wide_;           // ANSI text: the start of a line not yet read
    bool tailFound_ = false;
    ConfigTail tail_;
};
