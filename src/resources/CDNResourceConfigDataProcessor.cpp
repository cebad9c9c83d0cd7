#include "resources/CDNResourceConfigDataProcessor.h"

#include <utility>

CDNResourceConfigDataProcessor::CDNResourceConfigDataProcessor(const DownloadTaskInfo& task,
                                                               size_t blockSize)
    : DownloadDataProcessor(task), blockSize_(blockSize), body_(blockSize, kMaxBodyBytes) {}

bool CDNResourceConfigDataProcessor::OnBegin(uint32_t) {
    body_.Clear();
    headSize_ = 0;
    headPassed_ = false;
    return true;
}

bool CDNResourceConfigDataProcessor::OnFinish() {
    return PassHead();
}

bool CDNResourceConfigDataProcessor::OnData(const void* data, uint32_t size) {
    if (size == 0) return true;
    if (data == nullptr) return false;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    while (!headPassed_ && size > 0) {
        head_[headSize_++] = *bytes++;
        --size;
        if (headSize_ == 3 && !PassHead()) return false;
    }
    return body_.Append(bytes, size);
}

bool CDNResourceConfigDataProcessor::PassHead() {
    if (headPassed_) return true;
    headPassed_ = true;
    static const unsigned char kBom[3] = {0xEF, 0xBB, 0xBF};
    if (headSize_ == 3 && head_[0] == kBom[0] && head_[1] == kBom[1] && head_[2] == kBom[2]) {
        return true;
    }
    return body_.Append(head_, headSize_);
}

bool CDNResourceConfigDataProcessor::GetContent(std::string& out) {
    PassHead();
    out = body_.Text();
    return true;
}

ConfigBody CDNResourceConfigDataProcessor::TakeBody() {
    PassHead();
    ConfigBody body(blockSize_, kMaxBodyBytes);
    std::swap(body, body_);
    return body;
}
