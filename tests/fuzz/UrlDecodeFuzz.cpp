// URL decoding: never longer than its input, and text without "%" or "+" comes back unchanged.
#include <cstdlib>

#include "app/UrlDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = UrlDecode(text);
    if (decoded.size() > text.size()) std::abort();
    if (text.find_first_of("%+") == std::string::npos && decoded != text) std::abort();
    return 0;
}
