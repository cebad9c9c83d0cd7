#include "resources/DownloadFile.h"

#include "app/FileServices.h"
#include "resources/GunzipFile.h"
#include "resources/ManifestName.h"

std::wstring DownloadTempPath(const std::wstring& dir, const std::wstring& name) {
    return dir + name + L".t";
}

ombrix::ScopedFileHandle PrepareDownloadFile(const std::wstring& dir, const std::wstring& name) {
    if (!IsSafeManifestName(name)) return ombrix::ScopedFileHandle();
    const std::wstring temp = DownloadTempPath(dir, name);
    const std::wstring final = dir + name;
    std::wstring parent;
    if (!GetParentDirectory(temp, &parent)) return ombrix::ScopedFileHandle();
    if (!DirectoryExists(parent)) CreateDirectories(parent);
    DeleteFileIfExists(temp);
    DeleteFileIfExists(final);
    return ombrix::ScopedFileHandle(::CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                  nullptr));
}

bool InstallDownloadedFile(const std::wstring& dir, const std::wstring& name, int64_t tempLength) {
    if (tempLength <= 0) return false;
    const std::wstring temp = DownloadTempPath(dir, name);
    if (!GunzipFile(temp, dir + name)) return false;
    DeleteFileIfExists(temp);
    return true;
}
