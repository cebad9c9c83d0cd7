#include "download/DownloadTextProcessor.h"

#include <algorithm>
#include <new>

bool DownloadTextProcessor::OnBegin(uint32_t contentLength) {
    text.clear();
    // A body of many megabytes is held once: never grown by doubling, copied at each step.
    const uint64_t room =
        contentLength > 0 ? std::min<uint64_t>(contentLength, kMaxTextBytes) : kInitialReserve;
    try {
        text.reserve(room);
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
