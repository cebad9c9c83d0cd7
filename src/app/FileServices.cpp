#include "app/FileServices.h"

#include <windows.h>
#include <shlwapi.h>

#include "app/DriveChoice.h"
#include "app/TextConvert.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"

using ombrix::ScopedFileHandle;

namespace {

ombrix::CriticalSection& DirectoryLock() {
    static ombrix::CriticalSection lock;  // created on first use, lives for the process
    return lock;
}

ScopedFileHandle OpenForReading(const std::wstring& path) {
    return ScopedFileHandle(::CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadExactly(HANDLE file, char* buffer, DWORD length) {
    DWORD done = 0;
    while (done < length) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer + done, length - done, &got, nullptr)) return false;
        if (got == 0) return false;
        done += got;
    }
    return true;
}

bool WriteAll(const wchar_t* path, const char* data, size_t length) {
    if (path == nullptr) return false;
    std::wstring parent;
    if (GetParentDirectory(path, &parent) && !parent.empty() && !DirectoryExists(parent)) {
        CreateDirectories(parent);
    }
    ScopedFileHandle file(::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    while (length > 0) {
        const DWORD chunk = length > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!::WriteFile(file.Get(), data, chunk, &written, nullptr) || written != chunk) {
            return false;
        }
        data += chunk;
        length -= chunk;
    }
    return true;
}

}  // namespace

bool FileExists(const std::wstring& path) {
    return OpenForReading(path).IsValid();
}

bool DeleteFileIfExists(const std::wstring& path) {
    if (!FileExists(path)) return false;
    ::DeleteFileW(path.c_str());
    return true;
}

bool DirectoryExists(const std::wstring& path) {
    return !path.empty() && ::PathIsDirectoryW(path.c_str()) != FALSE;
}

bool CreateDirectories(const std::wstring& path) {
    if (path.empty()) return false;
    ombrix::ScopedLock lock(DirectoryLock());
    std::wstring work = path;
    if (work.back() != L'\\') work.push_back(L'\\');
    bool result = false;
    for (size_t i = 0; i < work.size(); ++i) {
        if (work[i] != L'\\') continue;
        const std::wstring prefix = work.substr(0, i);
        if (prefix.empty()) continue;
        if (!::PathIsDirectoryW(prefix.c_str())) {
            result = ::CreateDirectoryW(prefix.c_str(), nullptr) != FALSE;
        }
    }
    return result;
}

bool ReadTextFile(const wchar_t* path, std::wstring* out) {
    if (path == nullptr || out == nullptr) return false;
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) return false;
    size_t start = 0;
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    // Decoding stops at the first zero byte, as for any zero-terminated text.
    return Utf8ToText(bytes.c_str() + start, out) == 1;
}

bool ReadFileBytes(const std::wstring& path, std::string* out) {
    if (out == nullptr) return false;
    ScopedFileHandle file = OpenForReading(path);
    if (!file) return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size)) return false;
    const DWORD length = static_cast<DWORD>(size.QuadPart);  // taken as 32 bits
    if (length == 0) return true;
    std::string buffer(length, '\0');
    if (!ReadExactly(file.Get(), &buffer[0], length)) return false;
    *out = std::move(buffer);
    return true;
}

bool WriteTextFile(const wchar_t* path, const std::wstring& text) {
    std::string bytes;
    TextToUtf8(text.c_str(), &bytes);
    return WriteAll(path, bytes.data(), bytes.size());
}

bool WriteFileBytes(const wchar_t* path, const std::string& bytes) {
    return WriteAll(path, bytes.data(), bytes.size());
}

bool WriteFileBeside(const std::wstring& path, const std::string& bytes, bool replace) {
    const std::wstring beside = path + L".new";
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!WriteFileBytes(beside.c_str(), bytes) ||
        !::MoveFileExW(beside.c_str(), path.c_str(), flags)) {
        ::DeleteFileW(beside.c_str());
        return false;
    }
    return true;
}

bool GetParentDirectory(const std::wstring& path, std::wstring* out) {
    const size_t pos = path.rfind(L'\\');
    if (pos == std::wstring::npos || out == nullptr) return false;
    *out = path.substr(0, pos);
    return true;
}

bool GetFileVersion(const std::wstring& path, uint32_t* major, uint32_t* minor, uint32_t* build,
                    uint32_t* revision) {
    if (!FileExists(path)) return false;
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return true;  // no version resource: numbers untouched
    std::string block(size, '\0');
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, &block[0])) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!::VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    if (major) *major = HIWORD(info->dwFileVersionMS);
    if (minor) *minor = LOWORD(info->dwFileVersionMS);
    if (build) *build = HIWORD(info->dwFileVersionLS);
    if (revision) *revision = LOWORD(info->dwFileVersionLS);
    return true;
}

bool ListFixedDrives(std::vector<std::wstring>* out) {
    if (out == nullptr) return false;
    // 100 characters hold 24 roots; a longer list is read again with the size it needs.
    std::vector<wchar_t> buffer(100, L'\0');
    DWORD n = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n > buffer.size()) {
        buffer.assign(n + 1, L'\0');
        n = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (n == 0 || n >= buffer.size()) return false;
    for (const wchar_t* p = buffer.data(); *p; p += wcslen(p) + 1) {
        if (::GetDriveTypeW(p) == DRIVE_FIXED) out->push_back(p);
    }
    return true;
}

bool IsWritableDirectory(const std::wstring& dir) {
    CreateDirectories(dir);
    if (!DirectoryExists(dir)) return false;
    const std::wstring probe = dir + L"launcher_test.txt";
    {
        ScopedFileHandle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), "1", 1, &written, nullptr) || written != 1) {
            file.Reset();
            ::DeleteFileW(probe.c_str());
            return false;
        }
    }
    DeleteFileIfExists(probe);
    return true;
}

bool FindLargestFreeDrive(std::wstring* out) {
    if (out == nullptr) return false;
    out->clear();
    std::vector<std::wstring> drives;
    if (!ListFixedDrives(&drives) || drives.empty()) return false;
    std::vector<DriveCandidate> candidates;
    for (const std::wstring& root : drives) {
        DriveCandidate drive;
        drive.root = root;
        drive.writable = IsWritableDirectory(root);
        ULARGE_INTEGER available, total, free;
        if (drive.writable && ::GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free)) {
            drive.spaceKnown = true;
            drive.freeBytes = free.QuadPart;
        }
        candidates.push_back(drive);
    }
    *out = ChooseLargestFreeDrive(candidates);
    return !out->empty();
}

int64_t GetFreeDiskBytes(const std::wstring& path) {
    ULARGE_INTEGER available, total, free;
    if (!::GetDiskFreeSpaceExW(path.c_str(), &available, &total, &free)) return -1;
    return static_cast<int64_t>(available.QuadPart);
}
