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

void WriteAt(const std::wstring& path, DWORD moveMethod, const char* data, size_t size) {
    ombrix::ScopedFileHandle file = OpenBundle(path);
    if (!file) return;
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(file.Get(), zero, nullptr, moveMethod)) return;
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file.Get(), data, chunk, &written, nullptr) || written != chunk) return;
        data += chunk;
        size -= chunk;
    }
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

void AppendToBundle(const std::wstring& path, const std::string& bytes) {
    WriteAt(path, FILE_END, bytes.data(), bytes.size());
}

void SetBundleFlag(const std::wstring& path, uint8_t value) {
    const char flag = static_cast<char>(value);
    WriteAt(path, FILE_BEGIN, &flag, 1);
}

void DeleteBundle(const std::wstring& path) {
    DeleteFileIfExists(path);
}

void AppendBundleRecord(const std::wstring& path, const std::string& name,
                        const std::string& content) {
    AppendToBundle(path, EncodeUInt32LE(static_cast<uint32_t>(name.size())));
    AppendToBundle(path, name);
    AppendToBundle(path, EncodeUInt32LE(static_cast<uint32_t>(content.size())));
    AppendToBundle(path, content);
}
