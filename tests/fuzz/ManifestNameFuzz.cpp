// Name check: a name accepted, joined to a directory, stays inside it however Windows reads it
// (either separator, trailing dots and blanks of a part dropped, no drive or stream).
#include <cstdlib>

#include "FuzzInput.h"
#include "resources/ManifestName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring name = WideText(std::string(reinterpret_cast<const char*>(data), size));
    if (!IsSafeManifestName(name)) return 0;
    if (name.find(L':') != std::wstring::npos) std::abort();
    std::wstring part;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != L'\\' && name[i] != L'/') {
            part.push_back(name[i]);
            continue;
        }
        while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
        if (part.empty()) std::abort();  // a rooted name, "." or ".." in Windows' reading
        part.clear();
    }
    return 0;
}
