#include "resources/LauncherBundle.h"

#include <windows.h>

#include "app/FileServices.h"
#include "framework/ScopedHandle.h"

namespace {

// Opens for writing, creating the file when missing and never truncating it.
ombrix::ScopedFileHandle OpenBundle(const std::wstring& path) {
    return ombrix::ScopedFileHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                  nullptr));
}

bool WriteAt(const std::wstring& path, DWORD moveMethod, const char* data, size_t size,
             bool flushFirst = false) {
    ombrix::ScopedFileHandle file = OpenBundle(path);
    if (!file) return false;
    if (flushFirst && !::FlushFileBuffers(file.Get())) return false;
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(file.Get(), zero, nullptr, moveMethod)) return false;
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file.Get(), data, chunk, &written, nullptr) || written != chunk) {
            return false;
        }
        data += chunk;
        size -= chunk;
    }
    return true;
}

}  // namespace

std::string EncodeUInt32LE(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

void ResetBundle(const std::wstring& path) {
    DeleteFileIfExists(path);
    SetBundleFlag(path, 0);
}

bool AppendToBundle(const std::wstring& path, const std::string& bytes) {
    return WriteAt(path, FILE_END, bytes.data(), bytes.size());
}

void SetBundleFlag(const std::wstring& path, uint8_t value) {
    const char flag = static_cast<char>(value);
    WriteAt(path, FILE_BEGIN, &flag, 1, value != 0);
}

void DeleteBundle(const std::wstring& path) {
    DeleteFileIfExists(path);
}

bool AppendBundleRecord(const std::wstring& path, const std::string& name,
                        const std::string& content) {
    // One write per record: a record is either whole or, after a failure, refused.
    std::string record = EncodeUInt32LE(static_cast<uint32_t>(name.size()));
    record.reserve(8 + name.size() + content.size());
    record += name;
    record += EncodeUInt32LE(static_cast<uint32_t>(content.size()));
    record += content;
    return AppendToBundle(path, record);
}
