#include "resources/FolderListing.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "framework/ScopedHandle.h"

namespace {

// One entry of the longest name a file system gives (255 characters) fits in this.
constexpr size_t kSmallestBlock = sizeof(FILE_FULL_DIR_INFO) + 256 * sizeof(wchar_t);

// Appends the key under which the file system would find a name: upper case, "\" between
// folders.
void AppendFolded(const wchar_t* name, size_t length, std::wstring* key) {
    const size_t start = key->size();
    bool ascii = true;
    for (size_t i = 0; i < length; ++i) {
        wchar_t c = name[i];
        if (c == L'/') {
            c = L'\\';
        } else if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        } else if (c >= 0x80) {
            ascii = false;
        }
        key->push_back(c);
    }
    if (!ascii) ::CharUpperBuffW(&(*key)[start], static_cast<DWORD>(length));
}

size_t FolderLength(const std::wstring& name) {
    const size_t separator = name.find_last_of(L"\\/");
    return separator == std::wstring::npos ? 0 : separator + 1;
}

}  // namespace

FolderListing::FolderListing(size_t blockBytes)
    : blockBytes_(std::max(blockBytes, kSmallestBlock)) {}

void FolderListing::ListFoldersOf(const std::wstring& root,
                                  const std::vector<const std::wstring*>& names) {
    files_.clear();
    files_.reserve(names.size());
    std::unordered_set<std::wstring> listed;
    const std::wstring* previous = nullptr;
    size_t previousLength = 0;
    for (const std::wstring* name : names) {
        const size_t length = FolderLength(*name);
        // Names in order keep a folder's files together: most names need no set lookup.
        if (previous != nullptr && length == previousLength &&
            name->compare(0, length, *previous, 0, length) == 0) {
            continue;
        }
        previous = name;
        previousLength = length;
        std::wstring foldedFolder;
        AppendFolded(name->data(), length, &foldedFolder);
        if (!listed.insert(foldedFolder).second) continue;
        ListFolder(root + name->substr(0, length), foldedFolder);
    }
}

void FolderListing::ListFolder(const std::wstring& path, const std::wstring& foldedFolder) {
    // The folder itself, or the root when the path names none below it.
    ombrix::ScopedFileHandle folder(::CreateFileW(
        path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return;
    // Entries are 8-byte aligned records.
    std::unique_ptr<ULONGLONG[]> block(new ULONGLONG[(blockBytes_ + 7) / 8]);
    const DWORD blockBytes = static_cast<DWORD>(blockBytes_);
    std::wstring key;
    bool first = true;
    while (::GetFileInformationByHandleEx(
        folder.Get(), first ? FileFullDirectoryRestartInfo : FileFullDirectoryInfo, block.get(),
        blockBytes)) {
        first = false;
        const char* at = reinterpret_cast<const char*>(block.get());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
            if ((entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                key.assign(foldedFolder);
                AppendFolded(entry->FileName, entry->FileNameLength / sizeof(wchar_t), &key);
                ListedFile file;
                file.size = static_cast<uint64_t>(entry->EndOfFile.QuadPart);
                file.writeTime = static_cast<uint64_t>(entry->LastWriteTime.QuadPart);
                files_.emplace(key, file);
            }
            if (entry->NextEntryOffset == 0) break;
            at += entry->NextEntryOffset;
        }
    }
}

const ListedFile* FolderListing::Find(std::wstring_view name) const {
    key_.clear();
    AppendFolded(name.data(), name.size(), &key_);
    const auto found = files_.find(key_);
    return found == files_.end() ? nullptr : &found->second;
}
