#include "PackageWriter.h"

#include <windows.h>

#include <cstdio>
#include <limits>
#include <vector>

#include "GzipCompressor.h"

const wchar_t PackageWriter::kPackageFileName[] = L"qz_game.qzpkg";

PackageWriter::PackageWriter(const std::wstring& outDir, int64_t limitBytes)
    : outDir_(outDir), limit_(limitBytes) {
    if (outDir_.empty() || outDir_.back() != L'\\') outDir_.push_back(L'\\');
}

std::wstring PackageWriter::PackageDirName(int32_t index) {
    wchar_t text[32];
    std::swprintf(text, 32, L"pkg/%04d", index);
    return text;
}

bool PackageWriter::MakeDirectory(const std::wstring& dir, std::wstring* error) {
    if (::CreateDirectoryW(dir.c_str(), nullptr)) {
        createdDirs_.push_back(dir);
        return true;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) return true;
    *error = dir + L": cannot create the folder";
    return false;
}

bool PackageWriter::OpenNextPackage(std::wstring* error) {
    file_.Reset();
    ++index_;
    std::wstring dir = outDir_;
    for (wchar_t c : PackageDirName(index_)) {
        if (c == L'/') {
            if (!MakeDirectory(dir, error)) return false;
            dir.push_back(L'\\');
        } else {
            dir.push_back(c);
        }
    }
    if (!MakeDirectory(dir, error)) return false;
    const std::wstring path = dir + L"\\" + kPackageFileName;
    file_.Reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        *error = path + L": cannot create the package file";
        return false;
    }
    createdFiles_.push_back(path);
    size_ = 0;
    return true;
}

// Moves the last stream of the current package into a fresh package.
bool PackageWriter::MoveTail(int64_t start, int64_t length, std::wstring* error) {
    ombrix::ScopedFileHandle previous(file_.Release());
    if (!OpenNextPackage(error)) return false;
    LARGE_INTEGER position;
    position.QuadPart = start;
    if (!::SetFilePointerEx(previous.Get(), position, nullptr, FILE_BEGIN)) {
        *error = L"cannot seek in the package file";
        return false;
    }
    std::vector<char> buffer(1 << 20);
    int64_t left = length;
    while (left > 0) {
        const DWORD want = static_cast<DWORD>(left < static_cast<int64_t>(buffer.size())
                                                  ? left
                                                  : static_cast<int64_t>(buffer.size()));
        DWORD got = 0;
        DWORD written = 0;
        if (!::ReadFile(previous.Get(), buffer.data(), want, &got, nullptr) || got != want ||
            !::WriteFile(file_.Get(), buffer.data(), got, &written, nullptr) || written != got) {
            *error = L"cannot move data between package files";
            return false;
        }
        left -= got;
    }
    if (!::SetFilePointerEx(previous.Get(), position, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(previous.Get())) {
        *error = L"cannot shorten the previous package file";
        return false;
    }
    size_ = length;
    return true;
}

bool PackageWriter::Add(const std::wstring& path, PackedEntry* entry, std::wstring* error) {
    if (!file_ && !OpenNextPackage(error)) return false;
    const int64_t start = size_;
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(file_.Get(), zero, nullptr, FILE_END)) {
        *error = L"cannot seek in the package file";
        return false;
    }
    CompressedFile compressed;
    if (!CompressFileTo(path, file_.Get(), &compressed, error)) return false;
    if (compressed.length > std::numeric_limits<int32_t>::max()) {
        *error = path +
                 L": its compressed data reaches 2 GiB, more than a configuration line "
                 L"can describe";
        return false;
    }
    entry->offset = start;
    size_ = start + compressed.length;
    if (start > 0 && size_ > limit_) {
        if (!MoveTail(start, compressed.length, error)) return false;
        entry->offset = 0;
    }
    entry->packageDir = PackageDirName(index_);
    entry->length = static_cast<int32_t>(compressed.length);
    entry->md5 = compressed.md5;
    entry->inputSize = compressed.inputSize;
    return true;
}

void PackageWriter::Close() {
    file_.Reset();
}

void PackageWriter::RemoveOutput() {
    file_.Reset();
    for (const std::wstring& path : createdFiles_) ::DeleteFileW(path.c_str());
    for (auto dir = createdDirs_.rbegin(); dir != createdDirs_.rend(); ++dir) {
        ::RemoveDirectoryW(dir->c_str());
    }
    createdFiles_.clear();
    createdDirs_.clear();
}
