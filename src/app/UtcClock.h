#pragma once

#include <cstdint>

// Seconds since 1970-01-01T00:00:00Z by the system clock.
int64_t UtcNowSeconds();
