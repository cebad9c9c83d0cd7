#include "flow/DiskSpace.h"

#include "app/TextFormat.h"

const wchar_t kDiskSizeUnknownText[] = L"无法完成下载，没有成功获取磁盘大小!";

bool DriveOfRoot(const std::wstring& root, std::wstring* drive) {
    const size_t slash = root.find(L'\\');
    if (slash == std::wstring::npos) return false;
    *drive = root.substr(0, slash + 1);
    return true;
}

std::wstring DiskShortageText(const std::wstring& drive, int64_t needed, int64_t freeBytes) {
    return drive + L"磁盘空间不足，无法完成此次更新，请确保释放出" +
           FormatByteSize(needed - freeBytes) + L"空间后继续";
}
