#include "app/ProcessList.h"

#include <psapi.h>

#include "framework/ScopedHandle.h"

void ListProcessIds(std::vector<uint32_t>* ids) {
    if (ids == nullptr) return;
    DWORD buffer[1024];  // 4096 bytes: further processes are not seen
    DWORD bytes = 0;
    if (!::EnumProcesses(buffer, sizeof(buffer), &bytes)) return;
    ids->insert(ids->end(), buffer, buffer + bytes / sizeof(DWORD));
}

std::wstring GetProcessImagePath(HANDLE process) {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameExW(process, nullptr, path, MAX_PATH);
    if (n == 0) return {};
    return std::wstring(path, n < MAX_PATH ? n : MAX_PATH - 1);
}

bool SamePathText(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsProcessRunning(const std::wstring& path) {
    std::vector<uint32_t> ids;
    ListProcessIds(&ids);
    for (uint32_t id : ids) {
        ombrix::ScopedKernelHandle process(
            ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
        if (!process) continue;
        const std::wstring image = GetProcessImagePath(process.Get());
        if (!image.empty() && SamePathText(image, path)) return true;
    }
    return false;
}
