#include "resources/FolderListing.h"

#include <windows.h>

#include <unordered_set>

#include "framework/ScopedHandle.h"

namespace {

// The key under which the file system would find a name: upper case, "\" between folders.
std::wstring Fold(const std::wstring& name) {
    std::wstring folded = name;
    bool ascii = true;
    for (wchar_t& c : folded) {
        if (c == L'/') {
            c = L'\\';
        } else if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        } else if (c >= 0x80) {
            ascii = false;
        }
    }
    if (!ascii && !folded.empty()) {
        ::CharUpperBuffW(&folded[0], static_cast<DWORD>(folded.size()));
    }
    return folded;
}

size_t FolderLength(const std::wstring& name) {
    const size_t separator = name.find_last_of(L"\\/");
    return separator == std::wstring::npos ? 0 : separator + 1;
}

uint64_t Combine(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

}  // namespace

void FolderListing::ListFoldersOf(const std::wstring& root,
                                  const std::vector<const std::wstring*>& names) {
    files_.clear();
    files_.reserve(names.size());
    std::unordered_set<std::wstring> listed;
    for (const std::wstring* name : names) {
        const std::wstring folder = name->substr(0, FolderLength(*name));
        std::wstring foldedFolder = Fold(folder);
        if (!listed.insert(foldedFolder).second) continue;
        WIN32_FIND_DATAW data;
        ombrix::ScopedFindHandle find(
            ::FindFirstFileExW((root + folder + L"*").c_str(), FindExInfoBasic, &data,
                               FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (!find) continue;
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            ListedFile file;
            file.size = Combine(data.nFileSizeHigh, data.nFileSizeLow);
            file.writeTime =
                Combine(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
            files_.emplace(foldedFolder + Fold(data.cFileName), file);
        } while (::FindNextFileW(find.Get(), &data));
    }
}

const ListedFile* FolderListing::Find(const std::wstring& name) const {
    const auto found = files_.find(Fold(name));
    return found == files_.end() ? nullptr : &found->second;
}
