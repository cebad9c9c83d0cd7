#include "resources/CDNResourceDataProcessor.h"

#include "app/FileServices.h"
#include "resources/DownloadFile.h"

namespace {

const size_t kWriteBufferSize = 64 * 1024;

}  // namespace

CDNResourceDataProcessor::CDNResourceDataProcessor(const DownloadTaskInfo& task,
                                                   const std::wstring& targetDir)
    : DownloadDataProcessor(task), destDir(targetDir) {}

CDNResourceDataProcessor::~CDNResourceDataProcessor() = default;

bool CDNResourceDataProcessor::FlushBuffer() {
    if (buffer_.empty()) return true;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(buffer_.size());
    const bool ok =
        ::WriteFile(file.Get(), buffer_.data(), size, &written, nullptr) && written == size;
    fileLength_ += written;
    buffer_.clear();
    return ok;
}

bool CDNResourceDataProcessor::OnBegin(uint32_t /*contentLength*/) {
    bytesThisAttempt = 0;
    if (file) return false;
    buffer_.clear();
    fileLength_ = 0;
    file = PrepareDownloadFile(destDir, taskInfo.name);
    if (!file) return false;
    buffer_.reserve(kWriteBufferSize);
    return true;
}

bool CDNResourceDataProcessor::OnData(const void* data, uint32_t size) {
    if (!file) return false;
    if (buffer_.size() + size > kWriteBufferSize && !FlushBuffer()) return false;
    if (size >= kWriteBufferSize) {
        buffer_.assign(static_cast<const char*>(data), size);
        if (!FlushBuffer()) return false;
    } else {
        buffer_.append(static_cast<const char*>(data), size);
    }
    bytesThisAttempt += static_cast<int32_t>(size);
    if (bytesThisAttempt > bytesReported) {
        const int64_t delta = static_cast<int64_t>(bytesThisAttempt) - bytesReported;
        bytesReported = bytesThisAttempt;
        if (onBytesWritten) onBytesWritten(delta);
    }
    return true;
}

bool CDNResourceDataProcessor::OnFinish() {
    // No attempt was opened (the request failed before its body): there is nothing to refuse,
    // and the transfer keeps the HTTP status (a 404 stays a 404 instead of becoming -3).
    if (!file) return true;
    const bool flushed = FlushBuffer();
    const int64_t length = fileLength_;
    file.Reset();
    if (!flushed) return false;
    return InstallDownloadedFile(destDir, taskInfo.name, length);
}

bool CDNResourceDataProcessor::GetContent(std::string& out) {
    if (file) return true;
    const std::wstring path = destDir + taskInfo.name;
    if (!FileExists(path)) return true;
    return ReadFileBytes(path, &out);
}
