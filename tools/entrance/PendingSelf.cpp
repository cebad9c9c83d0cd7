#include "PendingSelf.h"

#include <windows.h>

#include "DurableFiles.h"
#include "ExecutableImage.h"
#include "app/FileServices.h"

namespace {

// Far above any entrance; a larger pending file is not read into memory.
constexpr ULONGLONG kLargestExecutable = 256ull << 20;

bool HoldsWholeExecutable(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::string bytes;
    return size <= kLargestExecutable && ReadFileBytes(path, &bytes) && IsWholeExecutable(bytes);
}

}  // namespace

bool ApplyPendingSelf(const std::wstring& selfPath) {
    const std::wstring aside = selfPath + kPreviousSelfSuffix;
    RemoveFile(aside);  // left by the start that swapped; fails while it still runs
    const std::wstring pending = selfPath + kPendingSelfSuffix;
    if (!PathExists(pending)) return false;
    if (!HoldsWholeExecutable(pending)) {
        RemoveFile(pending);  // damaged: never tried again, this one stays
        return false;
    }
    // A running executable can be renamed, not overwritten. It stays beside the new one until
    // the new one runs.
    if (!MoveOver(selfPath, aside)) return false;
    if (!MoveOver(pending, selfPath)) {
        MoveOver(aside, selfPath);
        return false;
    }
    return true;
}
