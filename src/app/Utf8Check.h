// The UTF-8 test used to tell UTF-8 manifests from narrow code page ones. No Windows header.
#pragma once

#include <cstdint>

// 1 when the bytes are well-formed (lenient) UTF-8 with at least one multi-byte sequence,
// 0 otherwise (pure ASCII, a stray continuation byte, a truncated sequence, length <= 0).
int IsUtf8Text(const unsigned char* bytes, int32_t length);
