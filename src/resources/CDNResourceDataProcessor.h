// Sink of one file of a package: writes the downloaded range to D + N + ".t" and unpacks it
// into D + N when the attempt ends; reports each new high-water mark of written bytes, so that a
// retried attempt never counts its bytes twice.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "download/DownloadDataProcessor.h"
#include "framework/ScopedHandle.h"

class CDNResourceDataProcessor : public DownloadDataProcessor {
  public:
    CDNResourceDataProcessor(const DownloadTaskInfo& task, const std::wstring& targetDir);
    ~CDNResourceDataProcessor() override;

    bool OnBegin(uint32_t contentLength) override;
    bool OnFinish() override;
    bool OnData(const void* data, uint32_t size) override;
    // The installed file's whole content (out untouched when it does not exist); true without
    // reading while an attempt is open.
    bool GetContent(std::string& out) override;

    ombrix::ScopedFileHandle file;  // temporary file of the current attempt
    std::wstring destDir;           // target directory, ends with "\"
    int32_t bytesThisAttempt = 0;   // bytes written since the last OnBegin
    int32_t bytesReported = 0;      // highest bytesThisAttempt of any attempt; never reset
    std::function<void(int64_t)> onBytesWritten;

  private:
    bool FlushBuffer();

    // Network chunks are small; collecting them saves one system call per chunk.
    std::string buffer_;
    int64_t fileLength_ = 0;
};
