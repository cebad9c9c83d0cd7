#include "download/DownloadTextProcessor.h"

#include <new>

bool DownloadTextProcessor::OnBegin(uint32_t /*contentLength*/) {
    text.clear();
    try {
        text.reserve(kInitialReserve);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool DownloadTextProcessor::OnFinish() {
    return true;
}

bool DownloadTextProcessor::OnData(const void* data, uint32_t size) {
    if (size == 0) return true;
    if (data == nullptr) return false;
    if (text.size() + static_cast<uint64_t>(size) > kMaxTextBytes) return false;
    try {
        text.append(static_cast<const char*>(data), size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool DownloadTextProcessor::GetContent(std::string& out) {
    static const char kBom[] = "\xEF\xBB\xBF";
    if (text.size() >= 3 && text.compare(0, 3, kBom) == 0) {
        out.assign(text, 3, std::string::npos);
    } else {
        out = text;
    }
    return true;
}
