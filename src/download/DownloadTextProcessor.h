// Sink that collects a whole response body in memory in one string (the notice answer, chunk
// lists; the CDN configuration has a sink of its own that keeps the body in blocks). No Windows
// header.
#pragma once

#include <cstdint>
#include <string>

#include "download/DownloadDataProcessor.h"

class DownloadTextProcessor : public DownloadDataProcessor {
  public:
    // Starting capacity reserved by an OnBegin without a length, so typical answers never
    // reallocate.
    static constexpr uint32_t kInitialReserve = 16u * 1024u * 1024u;
    // Largest body accepted: a broken or hostile server cannot exhaust memory through this sink.
    static constexpr uint64_t kMaxTextBytes = 256ull * 1024u * 1024u;

    explicit DownloadTextProcessor(const DownloadTaskInfo& task) : DownloadDataProcessor(task) {}

    // Empties the text and reserves room for the announced length (at most kMaxTextBytes), or the
    // starting capacity when none was announced; false only when memory runs out.
    bool OnBegin(uint32_t contentLength) override;
    bool OnFinish() override;
    // Appends the bytes; false when the body would grow beyond kMaxTextBytes or memory runs out.
    bool OnData(const void* data, uint32_t size) override;
    // The text without a leading UTF-8 byte-order mark; the text itself stays as it is.
    bool GetContent(std::string& out) override;

    std::string text;  // the body received since the last OnBegin
};
