#include "resources/ManifestFile.h"

#include <windows.h>

#include <algorithm>

#include "app/FileServices.h"
#include "app/TextConvert.h"
#include "framework/ScopedHandle.h"
#include "resources/ManifestText.h"

bool ReadManifestFile(const std::wstring& path, ResoureConfigList* list) {
    if (list == nullptr) return false;
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) return false;
    // A leading byte-order mark is skipped only when all three of its bytes are there.
    const size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    ParseManifestUtf8(bytes.data() + start, bytes.size() - start, list);
    return true;
}

bool ReadManifestFile(const std::wstring& path, LocalManifestMap* map,
                      bool (*accept)(const std::wstring& name)) {
    if (map == nullptr) return false;
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) return false;
    const size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    ParseManifestUtf8(bytes.data() + start, bytes.size() - start, map, accept);
    return true;
}

bool WriteManifestFile(const std::wstring& path, const std::wstring& text) {
    std::string bytes;
    TextToUtf8(text.c_str(), &bytes);
    return WriteManifestBytes(path, bytes);
}

namespace {

const DWORD kCopyBlock = 64 * 1024;

// Reads up to size bytes; false on a read error. *read < size only at the file's end.
bool ReadUpTo(HANDLE file, char* data, size_t size, size_t* read) {
    *read = 0;
    while (*read < size) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(size - *read, kCopyBlock));
        DWORD got = 0;
        if (!::ReadFile(file, data + *read, want, &got, nullptr)) return false;
        if (got == 0) return true;
        *read += got;
    }
    return true;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, data, want, &written, nullptr) || written != want) return false;
        data += written;
        size -= written;
    }
    return true;
}

// One write of a text in slices. While the slices equal the old file's bytes, only the old file
// is read; from the first difference (or an old file longer than the text) the new text goes to
// path + ".new", which starts with the equal part copied from the old file and replaces path at
// the end. Error codes are kept for the caller across the clean-up.
class SlicedWrite {
  public:
    explicit SlicedWrite(const std::wstring& path) : path_(path), staging_(path + L".new") {
        old_.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        const DWORD error = ::GetLastError();
        LARGE_INTEGER size;
        if (old_ && ::GetFileSizeEx(old_.Get(), &size)) {
            oldSize_ = static_cast<uint64_t>(size.QuadPart);
        } else if (old_ || (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)) {
            // A file that is there but cannot be read is replaced whatever the text.
            old_.Reset();
            oldSize_ = UINT64_MAX;
        }
    }
    ~SlicedWrite() {
        if (!new_) return;
        const DWORD error = ::GetLastError();
        new_.Reset();
        ::DeleteFileW(staging_.c_str());
        ::SetLastError(error);
    }
    SlicedWrite(const SlicedWrite&) = delete;
    SlicedWrite& operator=(const SlicedWrite&) = delete;

    bool Add(const std::string& slice) {
        if (!new_ && Matches(slice)) {
            matched_ += slice.size();
            return true;
        }
        return (new_ || Start()) && WriteAll(new_.Get(), slice.data(), slice.size());
    }

    bool Finish() {
        if (!new_) {
            // Every byte equal and none left over (or no file and no text): nothing to write.
            if (matched_ == oldSize_) return true;
            if (!Start()) return false;
        }
        if (!::FlushFileBuffers(new_.Get())) return false;
        new_.Reset();
        old_.Reset();
        if (!::MoveFileExW(staging_.c_str(), path_.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD error = ::GetLastError();
            ::DeleteFileW(staging_.c_str());
            ::SetLastError(error);
            return false;
        }
        return true;
    }

  private:
    // True when the old file's next bytes are the slice's.
    bool Matches(const std::string& slice) {
        if (slice.empty()) return true;
        if (!old_ || oldSize_ - matched_ < slice.size()) return false;
        block_.resize(slice.size());
        size_t read = 0;
        return ReadUpTo(old_.Get(), &block_[0], slice.size(), &read) && read == slice.size() &&
               block_ == slice;
    }

    // Creates the new file and copies the equal part into it.
    bool Start() {
        std::wstring parent;
        if (GetParentDirectory(path_, &parent) && !parent.empty() && !DirectoryExists(parent)) {
            CreateDirectories(parent);
        }
        new_.Reset(::CreateFileW(staging_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!new_) return false;
        if (matched_ == 0) return true;
        LARGE_INTEGER zero{};
        if (!::SetFilePointerEx(old_.Get(), zero, nullptr, FILE_BEGIN)) return false;
        block_.resize(kCopyBlock);
        for (uint64_t left = matched_; left > 0;) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock));
            size_t read = 0;
            if (!ReadUpTo(old_.Get(), &block_[0], want, &read) || read != want ||
                !WriteAll(new_.Get(), block_.data(), read)) {
                return false;
            }
            left -= read;
        }
        std::string().swap(block_);
        return true;
    }

    const std::wstring path_;
    const std::wstring staging_;
    ombrix::ScopedFileHandle old_;  // the file as it is; open until it is replaced
    ombrix::ScopedFileHandle new_;  // path + ".new" once started
    uint64_t oldSize_ = 0;
    uint64_t matched_ = 0;  // bytes of the text so far, all equal to the old file's first ones
    std::string block_;
};

}  // namespace

bool WriteManifestSlices(const std::wstring& path, const NextManifestSlice& next) {
    SlicedWrite write(path);
    std::string slice;
    for (bool last = false; !last;) {
        slice.clear();
        last = next(&slice);
        if (!write.Add(slice)) return false;
    }
    return write.Finish();
}

bool WriteManifestBytes(const std::wstring& path, const std::string& bytes) {
    SlicedWrite write(path);
    return write.Add(bytes) && write.Finish();
}
