#include "SourceList.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "PublishableName.h"
#include "framework/ScopedHandle.h"

bool SourceList::ListInto(const std::wstring& dir, const std::wstring& prefix,
                          std::wstring* error) {
    WIN32_FIND_DATAW data;
    ombrix::ScopedFindHandle find(::FindFirstFileW((dir + L"*").c_str(), &data));
    if (!find) {
        *error = L"cannot list the folder " + dir;
        return false;
    }
    do {
        const wchar_t* entry = data.cFileName;
        if (entry[0] == L'.' && (entry[1] == 0 || (entry[1] == L'.' && entry[2] == 0))) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!ListInto(dir + entry + L"\\", prefix + entry + L"\\", error)) return false;
            continue;
        }
        File file;
        file.nameAt = static_cast<uint32_t>(names_.size());
        names_ += prefix;
        names_ += entry;
        if (names_.size() > UINT32_MAX) {
            *error = L"too many names below " + roots_[0];
            return false;
        }
        file.length = static_cast<uint32_t>(names_.size() - file.nameAt);
        file.size = static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        file.writeTime = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                         data.ftLastWriteTime.dwLowDateTime;
        files_.push_back(file);
    } while (::FindNextFileW(find.Get(), &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
        *error = L"cannot list the folder " + dir;
        return false;
    }
    return true;
}

bool SourceList::AddFolder(const std::wstring& dir, bool launcher, std::wstring* error) {
    std::wstring root = dir;
    if (root.empty() || root.back() != L'\\') root.push_back(L'\\');
    roots_[launcher ? 1 : 0] = root;
    const size_t begin = files_.size();
    if (!ListInto(root, L"", error)) return false;
    const std::wstring& names = names_;
    std::sort(files_.begin() + static_cast<ptrdiff_t>(begin), files_.end(),
              [&names](const File& a, const File& b) {
                  return names.compare(a.nameAt, a.length, names, b.nameAt, b.length) < 0;
              });
    if (!launcher) gameFiles_ = files_.size();
    files_.shrink_to_fit();
    names_.shrink_to_fit();
    return true;
}

bool SourceList::CheckNames(std::wstring* error) const {
    return CheckSet(0, gameFiles_, false, error) && CheckSet(gameFiles_, Size(), true, error);
}

bool SourceList::CheckSet(size_t begin, size_t end, bool launcher, std::wstring* error) const {
    return CheckPublishableNames(
        end - begin,
        [this, begin](size_t i) {
            const File& file = files_[begin + i];
            return std::wstring_view(names_).substr(file.nameAt, file.length);
        },
        [this, begin](size_t i) { return Path(begin + i); }, launcher, error);
}
