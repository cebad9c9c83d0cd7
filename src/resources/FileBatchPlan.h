// The files of one download batch as the download engine reads them (a DownloadTaskSource): per
// file its name in one shared text, its package as an index into the batch's package table, its
// range and the digests it is checked against. Task records, with their URL, are made only when
// a worker reaches a file. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "download/DownloadTaskSource.h"
#include "resources/PackedDigest.h"
#include "resources/ResourceUpdateInfo.h"

class FileBatchPlan : public DownloadTaskSource {
  public:
    // items in plan order; kind tags every task; packageUrl gives the URL of a package folder.
    FileBatchPlan(const ResourceUpdateList& items, int32_t kind,
                  const std::function<std::wstring(const std::wstring&)>& packageUrl);

    size_t TaskCount() const override { return files_.size(); }
    uint32_t TargetOf(size_t index) const override { return files_[index].package; }
    std::wstring TargetUrl(uint32_t target) const override { return packageUrls_[target]; }
    std::wstring TargetBody(uint32_t /*target*/) const override { return std::wstring(); }
    int64_t RangeStart(size_t index) const override { return files_[index].offset; }
    uint32_t RangeLength(size_t index) const override { return files_[index].length; }
    DownloadTaskInfo Task(size_t index) const override;

    // The digests a file of this name is checked against (of one name, the last item counts);
    // false when the batch has no such file.
    bool FindDigests(const std::wstring& name, std::wstring* md5, std::wstring* sha256) const;

  private:
    struct File {
        uint32_t nameStart;
        uint32_t nameLength;
        uint32_t package;
        uint32_t length;
        int64_t offset;
        PackedDigest<16> md5;
        PackedDigest<32> sha256;
    };

    int CompareName(uint32_t index, const std::wstring& name) const;

    int32_t kind_;
    std::wstring names_;  // every file's name, back to back
    std::vector<File> files_;
    std::vector<uint32_t> byName_;  // file indexes, stably sorted by name
    std::vector<std::wstring> packageDirs_;
    std::vector<std::wstring> packageUrls_;
};
