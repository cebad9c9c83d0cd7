// Sink of the CDN configuration request: collects the body as text (handed out without a UTF-8
// byte-order mark). No Windows header.
#pragma once

#include "download/DownloadTextProcessor.h"

class CDNResourceConfigDataProcessor : public DownloadTextProcessor {
  public:
    explicit CDNResourceConfigDataProcessor(const DownloadTaskInfo& task)
        : DownloadTextProcessor(task) {}
};
