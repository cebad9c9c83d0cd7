#include "app/UtcClock.h"

#include <windows.h>

int64_t UtcNowSeconds() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000ull) - 11644473600ll;  // 100 ns since 1601
}
