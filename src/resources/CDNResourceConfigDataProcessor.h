// Sink of the CDN configuration request: keeps the body in blocks of fixed size (ConfigBody), never
// in one string, without a leading UTF-8 byte-order mark. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "download/DownloadDataProcessor.h"
#include "resources/ConfigBody.h"

class CDNResourceConfigDataProcessor : public DownloadDataProcessor {
  public:
    // Largest body accepted, as for any text answer: a broken or hostile server cannot exhaust
    // memory through this sink.
    static constexpr uint64_t kMaxBodyBytes = 256ull * 1024u * 1024u;

    explicit CDNResourceConfigDataProcessor(const DownloadTaskInfo& task,
                                            size_t blockSize = ConfigBody::kBlockSize);

    // Drops what an earlier attempt delivered.
    bool OnBegin(uint32_t contentLength) override;
    bool OnFinish() override;
    // false when the body would grow beyond kMaxBodyBytes or memory runs out.
    bool OnData(const void* data, uint32_t size) override;
    // The whole body in one string (a copy).
    bool GetContent(std::string& out) override;

    // Hands the body over; the sink is left empty.
    ConfigBody TakeBody();

  private:
    // The first bytes, held until three have come or the body ended: a byte-order mark is left out.
    bool PassHead();

    size_t blockSize_;
    ConfigBody body_;
    unsigned char head_[3] = {0, 0, 0};
    size_t headSize_ = 0;
    bool headPassed_ = false;
};
