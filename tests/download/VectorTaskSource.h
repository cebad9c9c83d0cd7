// A task source over task records, for the tests: targets are the distinct URL and body pairs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "download/DownloadTaskSource.h"

class VectorTaskSource : public DownloadTaskSource {
  public:
    explicit VectorTaskSource(std::vector<DownloadTaskInfo> tasks) : tasks_(std::move(tasks)) {
        for (const DownloadTaskInfo& task : tasks_) {
            const std::pair<std::wstring, std::wstring> key(task.url, task.postData);
            size_t target = 0;
            while (target < targets_.size() && targets_[target] != key) ++target;
            if (target == targets_.size()) targets_.push_back(key);
            targetOf_.push_back(static_cast<uint32_t>(target));
        }
    }
    size_t TaskCount() const override { return tasks_.size(); }
    uint32_t TargetOf(size_t index) const override { return targetOf_[index]; }
    std::wstring TargetUrl(uint32_t target) const override { return targets_[target].first; }
    std::wstring TargetBody(uint32_t target) const override { return targets_[target].second; }
    int64_t RangeStart(size_t index) const override { return tasks_[index].rangeStart; }
    uint32_t RangeLength(size_t index) const override { return tasks_[index].rangeLength; }
    DownloadTaskInfo Task(size_t index) const override { return tasks_[index]; }

  private:
    std::vector<DownloadTaskInfo> tasks_;
    std::vector<std::pair<std::wstring, std::wstring>> targets_;
    std::vector<uint32_t> targetOf_;
};
