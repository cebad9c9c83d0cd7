// A sink for the tests: records what the transfer did with it, and can refuse on demand.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "download/DownloadDataProcessor.h"

class RecordingSink : public DownloadDataProcessor {
  public:
    RecordingSink() = default;
    explicit RecordingSink(const DownloadTaskInfo& task) : DownloadDataProcessor(task) {}

    bool OnBegin(uint32_t contentLength) override {
        ++begins;
        lengths.push_back(contentLength);
        data.clear();
        return refuseBegin-- <= 0;
    }
    bool OnFinish() override {
        ++finishes;
        return refuseFinish-- <= 0;
    }
    bool OnData(const void* bytes, uint32_t size) override {
        ++chunks;
        largestChunk = size > largestChunk ? size : largestChunk;
        data.append(static_cast<const char*>(bytes), size);
        if (onData) onData(*this);
        return refuseData-- <= 0;
    }
    bool GetContent(std::string& out) override {
        out = data;
        return true;
    }

    int begins = 0;
    int finishes = 0;
    int chunks = 0;
    uint32_t largestChunk = 0;
    std::vector<uint32_t> lengths;  // contentLength of every OnBegin
    std::string data;               // bytes since the last OnBegin
    // How many calls of each kind refuse before they start to succeed.
    int refuseBegin = 0;
    int refuseData = 0;
    int refuseFinish = 0;
    std::function<void(RecordingSink&)> onData;
};
