// The sink of downloaded bytes. A transfer drives it once per attempt: at most one OnBegin, then
// zero or more OnData, then exactly one OnFinish (also when the attempt failed before OnBegin).
// Each OnBegin starts the body afresh: a sink drops what an earlier, failed attempt delivered.
// GetContent is called by the sink's owner after the transfer, never by the transfer.
// No Windows header.
#pragma once

#include <cstdint>
#include <string>

#include "download/DownloadTaskInfo.h"

class DownloadDataProcessor {
  public:
    DownloadDataProcessor() = default;
    explicit DownloadDataProcessor(const DownloadTaskInfo& task) : taskInfo(task) {}
    virtual ~DownloadDataProcessor() = default;
    DownloadDataProcessor(const DownloadDataProcessor&) = delete;
    DownloadDataProcessor& operator=(const DownloadDataProcessor&) = delete;

    // A body is about to arrive; contentLength is the response's Content-Length, 0 when absent.
    // false refuses the body (the transfer reports -5).
    virtual bool OnBegin(uint32_t contentLength) = 0;
    // The attempt has ended, successfully or not. false fails the attempt (-3).
    virtual bool OnFinish() = 0;
    // The next size bytes of the body. false refuses them (-4).
    virtual bool OnData(const void* data, uint32_t size) = 0;
    // Hands out what was collected.
    virtual bool GetContent(std::string& out) = 0;

    // The task this sink serves (default for the segment sink). Sinks handed out for a task
    // carry that task's record: the segment sink routes bytes by its range.
    DownloadTaskInfo taskInfo;
};
