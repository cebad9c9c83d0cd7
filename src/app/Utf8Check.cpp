#include "app/Utf8Check.h"

#include "app/Utf8Scan.h"

int IsUtf8Text(const unsigned char* bytes, int32_t length) {
    if (bytes == nullptr || length <= 0) return 0;
    Utf8Scan scan;
    scan.Add(bytes, static_cast<size_t>(length));
    return scan.WellFormedUtf8() ? 1 : 0;
}
