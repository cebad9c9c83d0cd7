#include "BesideFile.h"

#include <windows.h>

namespace {

const size_t kPieceBytes = size_t(1) << 20;

}  // namespace

BesideFile::BesideFile(const std::wstring& path) : path_(path), beside_(path + L".new") {}

BesideFile::~BesideFile() {
    if (committed_) return;
    file_.Reset();
    ::DeleteFileW(beside_.c_str());
}

bool BesideFile::Open() {
    file_.Reset(::CreateFileW(beside_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    failed_ = !file_;
    return !failed_;
}

bool BesideFile::Flush() {
    if (failed_ || !file_) {
        failed_ = true;
        return false;
    }
    DWORD written = 0;
    if (!pending_.empty() &&
        (!::WriteFile(file_.Get(), pending_.data(), static_cast<DWORD>(pending_.size()), &written,
                      nullptr) ||
         written != pending_.size())) {
        failed_ = true;
    }
    pending_.clear();
    return !failed_;
}

bool BesideFile::Append(const std::string& bytes) {
    if (failed_) return false;
    pending_ += bytes;
    return pending_.size() < kPieceBytes || Flush();
}

bool BesideFile::Commit(bool replace) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!Flush()) return false;
    file_.Reset();
    if (!::MoveFileExW(beside_.c_str(), path_.c_str(), flags)) return false;
    committed_ = true;
    return true;
}
