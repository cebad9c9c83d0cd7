#include "app/Log.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "app/FileServices.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"

namespace {

struct LogState {
    ombrix::CriticalSection lock;
    ombrix::ScopedFileHandle file;
    std::wstring path;
    uint64_t size = 0;  // bytes in the file as this process knows it
    uint64_t limit = kLogLimitBytes;
    int kept = kLogKeptFiles;
    std::atomic<bool> open{false};
};

LogState& State() {
    static LogState* state = new LogState();  // never destroyed: threads may log at the end
    return *state;
}

// Appending only: every write lands at the end, also when another process appends too. The
// other launcher process (a restart) may rename the file while this one holds it.
HANDLE OpenForAppend(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

uint64_t SizeOf(HANDLE file) {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

// Called with the lock held. Moves the files along and starts a new one; false when the full
// file could not be moved (it stays, and lines are dropped until it can be).
bool Rotate(LogState& state) {
    state.file.Reset();
    bool moved = false;
    if (state.kept <= 0) {
        moved = ::DeleteFileW(state.path.c_str()) != FALSE;
    } else {
        ::DeleteFileW(RotatedLogPath(state.path, state.kept).c_str());
        for (int n = state.kept - 1; n >= 1; --n) {
            ::MoveFileExW(RotatedLogPath(state.path, n).c_str(),
                          RotatedLogPath(state.path, n + 1).c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        moved = ::MoveFileExW(state.path.c_str(), RotatedLogPath(state.path, 1).c_str(),
                              MOVEFILE_REPLACE_EXISTING) != FALSE;
    }
    state.file.Reset(OpenForAppend(state.path));
    state.size = state.file ? SizeOf(state.file.Get()) : 0;
    return moved && state.file.IsValid();
}

void WriteLine(const std::string& line) {
    LogState& state = State();
    ombrix::ScopedLock guard(state.lock);
    if (!state.file) return;
    if (state.size > 0 && state.size + line.size() > state.limit && !Rotate(state)) return;
    if (!state.file) return;
    DWORD written = 0;
    if (::WriteFile(state.file.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                    nullptr)) {
        state.size += written;
    }
}

}  // namespace

bool OpenLog(const std::wstring& path, uint64_t limitBytes, int keptFiles) {
    LogState& state = State();
    ombrix::ScopedLock guard(state.lock);
    state.open.store(false);
    state.file.Reset();
    std::wstring folder;
    if (GetParentDirectory(path, &folder) && !folder.empty() && !DirectoryExists(folder)) {
        CreateDirectories(folder);
    }
    state.file.Reset(OpenForAppend(path));
    if (!state.file) return false;
    state.path = path;
    state.size = SizeOf(state.file.Get());
    state.limit = limitBytes;
    state.kept = keptFiles;
    state.open.store(true);
    return true;
}

void CloseLog() {
    LogState& state = State();
    ombrix::ScopedLock guard(state.lock);
    state.open.store(false);
    state.file.Reset();
}

bool IsLogOpen() {
    return State().open.load();
}

void LogEvent(const char* event, std::initializer_list<LogField> fields) {
    if (!IsLogOpen()) return;
    try {
        SYSTEMTIME now;
        ::GetSystemTime(&now);
        LogTime time;
        time.year = now.wYear;
        time.month = now.wMonth;
        time.day = now.wDay;
        time.hour = now.wHour;
        time.minute = now.wMinute;
        time.second = now.wSecond;
        time.millisecond = now.wMilliseconds;
        WriteLine(FormatLogLine(time, ::GetCurrentProcessId(), ::GetCurrentThreadId(), event,
                                fields.begin(), fields.size()));
    } catch (...) {
        // Out of memory while formatting: the event is dropped, the program goes on.
    }
}

std::wstring RotatedLogPath(const std::wstring& path, int n) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.rfind(L'.');
    const std::wstring number = L"." + std::to_wstring(n);
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) {
        return path + number;
    }
    return path.substr(0, dot) + number + path.substr(dot);
}
