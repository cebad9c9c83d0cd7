// What the resource manager reports: the progress states and the records some of them carry.
// No Windows header.
#pragma once

#include <cstdint>

enum ResourceManagerProgressState : int32_t {
    ProgressLocalResourceLoading = 1,
    ProgressLocalResourceLoaded = 2,
    ProgressLauncherInfoLoading = 3,
    ProgressLauncherInfoLoaded = 4,
    ProgressCDNConfigRequesting = 5,
    ProgressCDNConfigReceived = 6,
    ProgressDownloadSizeNotice = 7,  // RequestDownloadTotalSizeNoticeInfo
    ProgressCDNConfigConnectFailed = 8,
    ProgressCDNConfigContentFailed = 9,
    ProgressCDNConfigParseFailed = 10,
    ProgressResourceUpdateStarted = 11,
    ProgressResourceUpdateFailed = 12,  // ResourceManagerUpdateErrorInfo
    ProgressLauncherUpdateStarted = 13,
    ProgressLauncherUpdateFailed = 14,
    ProgressUpdateProgress = 17,          // ResourceManagerUpdateProgressInfo
    ProgressLauncherUpdateFinished = 18,  // the launcher must restart
    ProgressResourceUpdateFinished = 19,  // resources are current: the game may start
    // (20 carries the notice result to the window.)
    ProgressLocalFilesChecking = 21,  // ResourceManagerCheckProgressInfo
};

// Base of the records passed with a report. A record lives only during the call: a receiver
// that keeps it takes a Clone (a new heap copy it then owns).
class ResourceManagerProgressInfoBase {
  public:
    ResourceManagerProgressInfoBase() = default;
    virtual ~ResourceManagerProgressInfoBase() = default;
    virtual ResourceManagerProgressInfoBase* Clone() const = 0;

  protected:
    ResourceManagerProgressInfoBase(const ResourceManagerProgressInfoBase&) = default;
    ResourceManagerProgressInfoBase& operator=(const ResourceManagerProgressInfoBase&) = default;
};

// State 12: the bitwise OR of the status codes of the failed batch's results.
class ResourceManagerUpdateErrorInfo : public ResourceManagerProgressInfoBase {
  public:
    explicit ResourceManagerUpdateErrorInfo(int32_t code = 0) : errorCode(code) {}
    ResourceManagerUpdateErrorInfo* Clone() const override {
        return new ResourceManagerUpdateErrorInfo(*this);
    }
    int32_t errorCode;
};

// State 7: the bytes the update is going to download.
class RequestDownloadTotalSizeNoticeInfo : public ResourceManagerProgressInfoBase {
  public:
    explicit RequestDownloadTotalSizeNoticeInfo(int64_t total = 0) : totalBytes(total) {}
    RequestDownloadTotalSizeNoticeInfo* Clone() const override {
        return new RequestDownloadTotalSizeNoticeInfo(*this);
    }
    int64_t totalBytes;
};

// State 17: the running batch's progress.
class ResourceManagerUpdateProgressInfo : public ResourceManagerProgressInfoBase {
  public:
    ResourceManagerUpdateProgressInfo(int64_t downloaded = 0, int64_t total = 0)
        : downloadedBytes(downloaded), totalBytes(total) {}
    ResourceManagerUpdateProgressInfo* Clone() const override {
        return new ResourceManagerUpdateProgressInfo(*this);
    }
    int64_t downloadedBytes;
    int64_t totalBytes;
};

// State 21: installed files are being read and their digests compared.
class ResourceManagerCheckProgressInfo : public ResourceManagerProgressInfoBase {
  public:
    ResourceManagerCheckProgressInfo(int64_t checked = 0, int64_t total = 0)
        : checkedBytes(checked), totalBytes(total) {}
    ResourceManagerCheckProgressInfo* Clone() const override {
        return new ResourceManagerCheckProgressInfo(*this);
    }
    int64_t checkedBytes;
    int64_t totalBytes;
};
