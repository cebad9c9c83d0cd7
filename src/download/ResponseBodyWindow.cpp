#include "download/ResponseBodyWindow.h"

#include <algorithm>
#include <cwctype>

int64_t ParseContentRangeStart(const std::wstring& value) {
    size_t i = 0;
    while (i < value.size() && std::iswspace(value[i])) ++i;
    static const wchar_t kUnit[] = L"bytes";
    for (const wchar_t* u = kUnit; *u != L'\0'; ++u, ++i) {
        if (i >= value.size() || std::towlower(value[i]) != *u) return -1;
    }
    while (i < value.size() && (value[i] == L' ' || value[i] == L'=')) ++i;
    int64_t start = 0;
    size_t digits = 0;
    for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i, ++digits) {
        if (start > (INT64_MAX - 9) / 10) return -1;
        start = start * 10 + (value[i] - L'0');
    }
    if (digits == 0 || i >= value.size() || value[i] != L'-') return -1;
    return start;
}

ResponseBodyWindow::ResponseBodyWindow(int32_t status, int64_t rangeStart, uint32_t rangeLength,
                                       int64_t contentLength, int64_t contentRangeStart)
    : expected_(contentLength) {
    if (rangeStart < 0) return;
    bounded_ = true;
    windowLength_ = rangeLength;
    if (status == 206) {
        if (contentRangeStart >= 0 && contentRangeStart != rangeStart) acceptable_ = false;
    } else {
        windowStart_ = rangeStart;  // the whole resource came: the range lies inside it
    }
}

uint32_t ResponseBodyWindow::SinkLength() const {
    if (bounded_) return static_cast<uint32_t>(windowLength_);
    return expected_ > 0 && expected_ <= UINT32_MAX ? static_cast<uint32_t>(expected_) : 0;
}

void ResponseBodyWindow::Next(uint32_t size, uint32_t* skip, uint32_t* take) {
    const int64_t begin = received_;
    const int64_t end = received_ + size;
    received_ = end;
    if (!bounded_) {
        *skip = 0;
        *take = size;
        delivered_ += size;
        return;
    }
    const int64_t from = std::max(begin, windowStart_);
    const int64_t to = std::min(end, windowStart_ + windowLength_);
    if (from >= to) {
        *skip = size;
        *take = 0;
        return;
    }
    *skip = static_cast<uint32_t>(from - begin);
    *take = static_cast<uint32_t>(to - from);
    delivered_ += to - from;
}

bool ResponseBodyWindow::Done() const {
    return bounded_ && delivered_ >= windowLength_;
}

bool ResponseBodyWindow::Complete() const {
    if (!acceptable_) return false;
    if (bounded_) return delivered_ == windowLength_;
    return expected_ < 0 || received_ >= expected_;
}
