#include "resources/ManifestFile.h"

#include <windows.h>

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

// True when the file at path holds exactly bytes; read in blocks, so that a large list is not
// held twice.
bool FileHolds(const std::wstring& path, const std::string& bytes) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    // Read only when its size says it may: a list that grows is never read back.
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        data.nFileSizeHigh != 0 || data.nFileSizeLow != bytes.size()) {
        return false;
    }
    ombrix::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
    if (!file) return false;
    const DWORD kBlock = 64 * 1024;
    std::string block(kBlock, '\0');
    size_t at = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), &block[0], kBlock, &read, nullptr)) return false;
        if (read == 0) return at == bytes.size();
        if (at + read > bytes.size() || bytes.compare(at, read, block.data(), read) != 0) {
            return false;
        }
        at += read;
    }
}

}  // namespace

bool WriteManifestBytes(const std::wstring& path, const std::string& bytes) {
    // A file that holds these bytes already is left as it is.
    if (FileHolds(path, bytes)) return true;
    std::wstring parent;
    if (GetParentDirectory(path, &parent) && !parent.empty() && !DirectoryExists(parent)) {
        CreateDirectories(parent);
    }
    const std::wstring staging = path + L".new";
    {
        ombrix::ScopedFileHandle file(::CreateFileW(staging.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        const DWORD size = static_cast<DWORD>(bytes.size());
        const bool ok =
            (size == 0 ||
             (::WriteFile(file.Get(), bytes.data(), size, &written, nullptr) && written == size)) &&
            ::FlushFileBuffers(file.Get());
        if (!ok) {
            file.Reset();
            ::DeleteFileW(staging.c_str());
            return false;
        }
    }
    if (!::MoveFileExW(staging.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(staging.c_str());
        return false;
    }
    return true;
}
