#include "DurableFiles.h"

#include <windows.h>

#include <algorithm>

#include "framework/ScopedHandle.h"

namespace {

bool WriteFlushed(const std::wstring& path, const std::string& bytes, DWORD access,
                  DWORD disposition) {
    ombrix::ScopedFileHandle file(::CreateFileW(path.c_str(), access, 0, nullptr, disposition,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, piece, &written, nullptr) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return ::FlushFileBuffers(file.Get()) != FALSE;
}

}  // namespace

bool WriteDurably(const std::wstring& path, const std::string& bytes) {
    return WriteFlushed(path, bytes, GENERIC_WRITE, CREATE_ALWAYS);
}

bool AppendDurably(const std::wstring& path, const std::string& bytes) {
    return WriteFlushed(path, bytes, FILE_APPEND_DATA, OPEN_ALWAYS);
}

bool RemoveFile(const std::wstring& path) {
    if (!PathExists(path)) return true;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(path.c_str()) != FALSE || !PathExists(path);
}

bool MoveOver(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
