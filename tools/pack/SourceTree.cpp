#include "SourceTree.h"

#include <windows.h>

#include <algorithm>

#include "framework/ScopedHandle.h"

namespace {

bool ListInto(const std::wstring& dir, const std::wstring& prefix, std::vector<SourceFile>* files,
              std::wstring* error) {
    WIN32_FIND_DATAW data;
    ombrix::ScopedFindHandle find(::FindFirstFileW((dir + L"*").c_str(), &data));
    if (!find) {
        *error = L"cannot list the folder " + dir;
        return false;
    }
    do {
        const std::wstring entry = data.cFileName;
        if (entry == L"." || entry == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!ListInto(dir + entry + L"\\", prefix + entry + L"\\", files, error)) return false;
        } else {
            files->push_back(
                SourceFile{prefix + entry, dir + entry,
                           static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow,
                           static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                               data.ftLastWriteTime.dwLowDateTime});
        }
    } while (::FindNextFileW(find.Get(), &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
        *error = L"cannot list the folder " + dir;
        return false;
    }
    return true;
}

}  // namespace

std::wstring FullDirectoryPath(const std::wstring& path) {
    wchar_t buffer[4096];
    const DWORD n = ::GetFullPathNameW(path.c_str(), 4096, buffer, nullptr);
    if (n == 0 || n >= 4096) return std::wstring();
    std::wstring full(buffer, n);
    if (full.back() != L'\\') full.push_back(L'\\');
    return full;
}

bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer) {
    if (inner.size() < outer.size()) return false;
    return ::CompareStringOrdinal(inner.c_str(), static_cast<int>(outer.size()), outer.c_str(),
                                  static_cast<int>(outer.size()), TRUE) == CSTR_EQUAL;
}

bool ListSourceFiles(const std::wstring& dir, std::vector<SourceFile>* files, std::wstring* error) {
    std::wstring root = dir;
    if (root.back() != L'\\') root.push_back(L'\\');
    if (!ListInto(root, L"", files, error)) return false;
    std::sort(files->begin(), files->end(),
              [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
    return true;
}
