#include "SourceList.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "PublishableName.h"
#include "framework/ScopedHandle.h"
#include "resources/FileSystemCase.h"

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
    if (launcher) {  // few files, and the launcher's own rules: the set check itself
        std::vector<SourceFile> files;
        for (size_t i = begin; i < end; ++i) files.push_back(SourceFile{Name(i), Path(i)});
        return CheckPublishableSet(files, true, error);
    }
    for (size_t i = begin; i < end; ++i) {
        std::wstring reason;
        if (!IsPublishableName(Name(i), false, &reason)) {
            *error = Path(i) + L": " + reason;
            return false;
        }
    }
    // The file system's keys of all names at once: the folding maps one unit to one unit, so
    // every key lies where its name does.
    const std::wstring keys = FileSystemUpperCase(names_);
    const auto key = [this, &keys](uint32_t i) {
        return std::wstring_view(keys).substr(files_[i].nameAt, files_[i].length);
    };
    std::vector<uint32_t> order;
    order.reserve(end - begin);
    for (size_t i = begin; i < end; ++i) order.push_back(static_cast<uint32_t>(i));
    std::sort(order.begin(), order.end(), [&key](uint32_t a, uint32_t b) {
        const int c = key(a).compare(key(b));
        return c != 0 ? c < 0 : a < b;
    });
    const auto has = [&](std::wstring_view text) {
        const auto at =
            std::lower_bound(order.begin(), order.end(), text,
                             [&key](uint32_t i, std::wstring_view t) { return key(i) < t; });
        return at != order.end() && key(*at) == text;
    };
    for (size_t k = 1; k < order.size(); ++k) {
        if (key(order[k]) == key(order[k - 1])) {
            *error = Path(order[k]) + L": another file has the same name except for case";
            return false;
        }
    }
    const std::wstring_view temp = L".T";
    const auto isTemp = [&temp](std::wstring_view text) {
        return text.size() > 2 && text.substr(text.size() - 2) == temp;
    };
    for (uint32_t i : order) {
        if (isTemp(key(i)) && has(key(i).substr(0, key(i).size() - 2))) {
            *error = std::wstring(key(i)) +
                     L": this name is the temporary download name of another file";
            return false;
        }
    }
    // Every folder on the way to a file must not be a file (nor its temporary name).
    for (uint32_t i : order) {
        const std::wstring_view name = key(i);
        for (size_t slash = name.find(L'\\'); slash != std::wstring_view::npos;
             slash = name.find(L'\\', slash + 1)) {
            const std::wstring_view folder = name.substr(0, slash);
            if (has(folder) || (isTemp(folder) && has(folder.substr(0, folder.size() - 2)))) {
                *error =
                    L"two names meet on one file, a file is also the folder of another, or a "
                    L"launcher file takes a name the launcher keeps for itself "
                    L"(\"version.txt.new\", \"version.stamps\", \"release_serial.txt\", \"game\")";
                return false;
            }
        }
    }
    return true;
}
