#include "resources/FolderListing.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <unordered_set>

#include "framework/ScopedHandle.h"
#include "resources/StreamHash.h"

namespace {

// One entry of the longest name a file system gives (255 characters) fits in this.
constexpr size_t kSmallestBlock = sizeof(FILE_FULL_DIR_INFO) + 256 * sizeof(wchar_t);

// Appends the key under which the file system would find a name: upper case, "\" between
// folders.
template <typename Keys>
void AppendFolded(const wchar_t* name, size_t length, Keys* key) {
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

uint64_t HashKey(const wchar_t* key, size_t length) {
    StreamHash hash;
    hash.Add(key, length);
    return hash.Value();
}

size_t FolderLength(const std::wstring& name) {
    const size_t separator = name.find_last_of(L"\\/");
    return separator == std::wstring::npos ? 0 : separator + 1;
}

}  // namespace

FolderListing::FolderListing(size_t blockBytes, unsigned threads)
    : blockBytes_(std::max(blockBytes, kSmallestBlock)), threads_(std::max(threads, 1u)) {}

void FolderListing::ListFoldersOf(const std::wstring& root,
                                  const std::vector<const std::wstring*>& names) {
    keys_.clear();
    files_.clear();
    index_.clear();
    // Each folder once, by its folded name.
    std::vector<std::wstring> paths;
    std::vector<std::wstring> folded;
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
        paths.push_back(root + name->substr(0, length));
        folded.push_back(std::move(foldedFolder));
    }

    // Each thread lists a run of the folders into a part of its own.
    const size_t threads = std::max<size_t>(1, std::min<size_t>(threads_, paths.size()));
    std::vector<Part> parts(threads);
    const auto listRun = [&](size_t t) {
        const size_t first = paths.size() * t / threads;
        const size_t last = paths.size() * (t + 1) / threads;
        for (size_t i = first; i < last; ++i) ListFolder(paths[i], folded[i], &parts[t]);
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(listRun, t);
        } catch (...) {
            listRun(t);  // no thread to be had: this one lists that run as well
        }
    }
    listRun(0);
    for (std::thread& helper : helpers) helper.join();

    size_t keyUnits = 0;
    size_t fileCount = 0;
    for (const Part& part : parts) {
        keyUnits += part.keys.size();
        fileCount += part.files.size();
    }
    keys_.reserve(keyUnits);
    files_.reserve(fileCount);
    for (Part& part : parts) {
        const size_t base = keys_.size();
        keys_.insert(keys_.end(), part.keys.begin(), part.keys.end());
        for (Listed& file : part.files) {
            file.key += static_cast<uint32_t>(base);
            files_.push_back(file);
        }
        std::vector<wchar_t>().swap(part.keys);
    }
    BuildIndex();
}

void FolderListing::ListFolder(const std::wstring& path, const std::wstring& foldedFolder,
                               Part* part) const {
    // The folder itself, or the root when the path names none below it.
    ombrix::ScopedFileHandle folder(::CreateFileW(
        path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return;
    // Entries are 8-byte aligned records.
    std::unique_ptr<ULONGLONG[]> block(new ULONGLONG[(blockBytes_ + 7) / 8]);
    const DWORD blockBytes = static_cast<DWORD>(blockBytes_);
    bool first = true;
    while (::GetFileInformationByHandleEx(
        folder.Get(), first ? FileFullDirectoryRestartInfo : FileFullDirectoryInfo, block.get(),
        blockBytes)) {
        first = false;
        const char* at = reinterpret_cast<const char*>(block.get());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
            if ((entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                Listed file;
                file.key = static_cast<uint32_t>(part->keys.size());
                part->keys.insert(part->keys.end(), foldedFolder.begin(), foldedFolder.end());
                AppendFolded(entry->FileName, entry->FileNameLength / sizeof(wchar_t), &part->keys);
                file.keyLength = static_cast<uint32_t>(part->keys.size() - file.key);
                file.hash = HashKey(part->keys.data() + file.key, file.keyLength);
                file.file.size = static_cast<uint64_t>(entry->EndOfFile.QuadPart);
                file.file.writeTime = static_cast<uint64_t>(entry->LastWriteTime.QuadPart);
                part->files.push_back(file);
            }
            if (entry->NextEntryOffset == 0) break;
            at += entry->NextEntryOffset;
        }
    }
}

void FolderListing::BuildIndex() {
    // At most half full: a probe run stays short.
    size_t slots = 16;
    while (slots < 2 * files_.size()) slots *= 2;
    index_.assign(slots, 0);
    const size_t mask = slots - 1;
    for (size_t i = 0; i < files_.size(); ++i) {
        const Listed& file = files_[i];
        // Of two names of one key the first listed stays.
        if (Lookup(file.hash, keys_.data() + file.key, file.keyLength) != nullptr) continue;
        size_t slot = static_cast<size_t>(file.hash) & mask;
        while (index_[slot] != 0) slot = (slot + 1) & mask;
        index_[slot] = static_cast<uint32_t>(i + 1);
    }
}

const FolderListing::Listed* FolderListing::Lookup(uint64_t hash, const wchar_t* key,
                                                   size_t length) const {
    if (index_.empty()) return nullptr;
    const size_t mask = index_.size() - 1;
    for (size_t slot = static_cast<size_t>(hash) & mask; index_[slot] != 0;
         slot = (slot + 1) & mask) {
        const Listed& file = files_[index_[slot] - 1];
        if (file.hash == hash && file.keyLength == length &&
            std::memcmp(keys_.data() + file.key, key, length * sizeof(wchar_t)) == 0) {
            return &file;
        }
    }
    return nullptr;
}

const ListedFile* FolderListing::Find(std::wstring_view name) const {
    key_.clear();
    AppendFolded(name.data(), name.size(), &key_);
    const Listed* found = Lookup(HashKey(key_.data(), key_.size()), key_.data(), key_.size());
    return found == nullptr ? nullptr : &found->file;
}
