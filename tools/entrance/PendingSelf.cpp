#include "PendingSelf.h"

#include <windows.h>

namespace {

const wchar_t kAsideSuffix[] = L".previous";

bool Move(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

}  // namespace

bool ApplyPendingSelf(const std::wstring& selfPath) {
    const std::wstring aside = selfPath + kAsideSuffix;
    ::DeleteFileW(aside.c_str());  // left by the start that swapped; fails while it still runs
    const std::wstring pending = selfPath + kPendingSelfSuffix;
    if (::GetFileAttributesW(pending.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    // A running executable can be renamed, not overwritten.
    if (!Move(selfPath, aside)) return false;
    if (!Move(pending, selfPath)) {
        Move(aside, selfPath);
        return false;
    }
    return true;
}
