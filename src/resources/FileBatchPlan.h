// The files of one download batch as the download engine reads them (a DownloadTaskSource): the
// plan's items, read from the CDN list the plan holds (name, package folder, range, digests),
// without a copy per file; package URLs are made once per distinct folder. Task records, with
// their URL, are made only when a worker reaches a file. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "download/DownloadTaskSource.h"
#include "resources/ResourceUpdateInfo.h"

class FileBatchPlan : public DownloadTaskSource {
  public:
    // items in plan order (shared, not copied); kind tags every task; packageUrl gives the URL
    // of a package folder.
    FileBatchPlan(ResourceUpdateList items, int32_t kind,
                  const std::function<std::wstring(const std::wstring&)>& packageUrl);

    size_t TaskCount() const override { return items_.size(); }
    uint32_t TargetOf(size_t index) const override;
    std::wstring TargetUrl(uint32_t target) const override { return packageUrls_[target]; }
    std::wstring TargetBody(uint32_t /*target*/) const override { return std::wstring(); }
    int64_t RangeStart(size_t index) const override { return items_.Entry(index).offset; }
    uint32_t RangeLength(size_t index) const override {
        return static_cast<uint32_t>(items_.Entry(index).length);
    }
    DownloadTaskInfo Task(size_t index) const override;

    // The digests a file of this name is checked against; false when the batch has no such file.
    bool FindDigests(const std::wstring& name, std::wstring* md5, std::wstring* sha256) const;

  private:
    ResourceUpdateList items_;
    int32_t kind_;
    // Target of each package folder of the batch (by the folder text the list holds).
    std::unordered_map<const std::wstring*, uint32_t> targetOfFolder_;
    std::vector<std::wstring> packageUrls_;
    std::vector<bool> inBatch_;  // by index in the list
};
