#include "PackageWriter.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <limits>

#include "app/FileServices.h"
#include "app/Sha256.h"
#include "app/TextFormat.h"

const wchar_t PackageWriter::kPackageFileName[] = L"qz_game.qzpkg";

PackageWriter::PackageWriter(const std::wstring& treeDir, int32_t firstIndex, int64_t limitBytes)
    : treeDir_(treeDir), limit_(limitBytes), index_(firstIndex - 1) {
    if (treeDir_.empty() || treeDir_.back() != L'\\') treeDir_.push_back(L'\\');
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
    if (!Close(error)) return false;
    ++index_;
    std::wstring dir = treeDir_;
    for (wchar_t c : PackageDirName(index_)) {
        if (c == L'/') {
            if (!MakeDirectory(dir, error)) return false;
            dir.push_back(L'\\');
        } else {
            dir.push_back(c);
        }
    }
    // A folder of this number must not exist yet: its number would have been used before.
    if (!::CreateDirectoryW(dir.c_str(), nullptr)) {
        *error = dir + L": cannot create the package folder";
        return false;
    }
    createdDirs_.push_back(dir);
    dir_ = dir + L"\\";
    const std::wstring path = dir_ + kPackageFileName;
    file_.Reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        *error = path + L": cannot create the package file";
        return false;
    }
    createdFiles_.push_back(path);
    packages_.push_back(PackageDirName(index_));
    size_ = 0;
    contents_.reset(new BesideFile(dir_ + kContentsFileName));
    if (!contents_->Open()) {
        *error = dir_ + kContentsFileName + L": cannot write the package's contents list";
        return false;
    }
    return true;
}

bool PackageWriter::Close(std::wstring* error) {
    if (!file_) return true;
    file_.Reset();
    return CommitContents(std::move(contents_), dir_, error);
}

bool PackageWriter::CommitContents(std::unique_ptr<BesideFile> contents, const std::wstring& dir,
                                   std::wstring* error) {
    const std::wstring path = dir + kContentsFileName;
    if (!contents || !contents->Commit(false)) {
        *error = path + L": cannot write the package's contents list";
        return false;
    }
    createdFiles_.push_back(path);
    return true;
}

// Moves the last stream of the open package into a fresh package; the previous one ends
// before that stream and is completed then.
bool PackageWriter::MoveTail(int64_t start, int64_t length, std::wstring* error) {
    ombrix::ScopedFileHandle previous(file_.Release());
    const std::wstring previousDir = dir_;
    std::unique_ptr<BesideFile> previousContents(std::move(contents_));
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
    previous.Reset();
    size_ = length;
    return CommitContents(std::move(previousContents), previousDir, error);
}

std::string PackageWriter::HashRange(HANDLE file, int64_t start, int64_t length) {
    LARGE_INTEGER position;
    position.QuadPart = start;
    if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return std::string();
    Sha256Hasher hasher;
    std::vector<char> buffer(1 << 20);
    while (length > 0) {
        const DWORD want = static_cast<DWORD>(length < static_cast<int64_t>(buffer.size())
                                                  ? length
                                                  : static_cast<int64_t>(buffer.size()));
        DWORD got = 0;
        if (!::ReadFile(file, buffer.data(), want, &got, nullptr) || got != want) {
            return std::string();
        }
        hasher.Update(buffer.data(), got);
        length -= got;
    }
    return hasher.Finish();
}

bool PackageWriter::Finish(int64_t start, int64_t length, const FileDigest& digest,
                           const std::string& sha256, PackedEntry* entry, std::wstring* error) {
    if (length > std::numeric_limits<int32_t>::max()) {
        *error = L"compressed data reaching 2 GiB, more than a configuration line can describe";
        return false;
    }
    entry->offset = start;
    entry->packageDir = PackageDirName(index_);
    entry->length = static_cast<int32_t>(length);
    entry->md5 = digest.md5;
    entry->inputSize = digest.size;
    entry->sha256 = sha256;
    if (entry->sha256.size() != 32) {
        entry->sha256 = HashRange(file_.Get(), start, length);
        LARGE_INTEGER end;
        end.QuadPart = size_;
        if (entry->sha256.size() != 32 ||
            !::SetFilePointerEx(file_.Get(), end, nullptr, FILE_BEGIN)) {
            *error = L"cannot read back the package file";
            return false;
        }
    }
    StoredStream stream;
    std::memcpy(stream.md5, digest.md5.data(), digest.md5.size() < 16 ? digest.md5.size() : 16);
    stream.size = digest.size;
    stream.offset = start;
    stream.length = entry->length;
    stream.hasSha256 = true;
    std::memcpy(stream.sha256, entry->sha256.data(), sizeof(stream.sha256));
    line_.clear();
    AppendPackageContentsLine(stream, &line_);
    if (!contents_ || !contents_->Append(line_)) {
        *error = dir_ + kContentsFileName + L": cannot write the package's contents list";
        return false;
    }
    bytesWritten_ += length;
    return true;
}

bool PackageWriter::AddStream(const std::string& gz, const FileDigest& digest,
                              const std::string& sha256, PackedEntry* entry, std::wstring* error) {
    const int64_t length = static_cast<int64_t>(gz.size());
    if (!file_ || (size_ > 0 && size_ + length > limit_)) {
        if (!OpenNextPackage(error)) return false;
    }
    DWORD written = 0;
    if (!::WriteFile(file_.Get(), gz.data(), static_cast<DWORD>(gz.size()), &written, nullptr) ||
        written != gz.size()) {
        *error = L"cannot write the package file (disk full?)";
        return false;
    }
    const int64_t start = size_;
    size_ += length;
    return Finish(start, length, digest, sha256.size() == 32 ? sha256 : Sha256Digest(gz), entry,
                  error);
}

bool PackageWriter::AddFile(const std::wstring& path, GzipCompressor* compressor,
                            PackedEntry* entry, std::wstring* error) {
    if (!file_ && !OpenNextPackage(error)) return false;
    int64_t start = size_;
    FileDigest digest;
    int64_t length = 0;
    if (!compressor->CompressFileTo(path, file_.Get(), &digest, &length, error)) return false;
    size_ = start + length;
    if (start > 0 && size_ > limit_) {
        if (!MoveTail(start, length, error)) return false;
        start = 0;
    }
    return Finish(start, length, digest, std::string(), entry, error);
}

void PackageWriter::RemoveOutput() {
    file_.Reset();
    contents_.reset();
    for (const std::wstring& path : createdFiles_) ::DeleteFileW(path.c_str());
    for (auto dir = createdDirs_.rbegin(); dir != createdDirs_.rend(); ++dir) {
        ::RemoveDirectoryW(dir->c_str());
    }
    createdFiles_.clear();
    createdDirs_.clear();
}
