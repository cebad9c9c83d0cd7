// The file system's upper-casing off Windows, for the fuzz targets only: the C library's mapping,
// one unit for one unit like the platform's (the fuzz targets look for crashes, not for the
// exact table).
#include <cwctype>

#include "resources/FileSystemCase.h"

std::wstring FileSystemUpperCase(const std::wstring& text) {
    std::wstring upper = text;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return upper;
}
