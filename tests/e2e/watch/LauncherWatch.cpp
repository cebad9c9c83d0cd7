// launcher_watch: runs the launcher and reports what its windows show, for the end-to-end
// tests and the demo, which follow the report from outside wine.
//
//   launcher_watch [--limit-s N] [--game-window] [--follow NAME] DIR LAUNCHER [ARGUMENTS...]
//
// Starts LAUNCHER with ARGUMENTS in its own folder and appends one line per event to
// DIR\events.txt (UTF-8; fields separated by tabs; line breaks inside texts become spaces):
//   MS started PID EPOCH_MS        MS: milliseconds since the start; EPOCH_MS: the wall clock
//                                  at the launcher's start, milliseconds since 1970 (UTC)
//   MS window X Y W H              where the window group stands (on every move)
//   MS status TEXT                 the status line, whenever it changes
//   MS question N TEXT FIRST SECOND   a question (SECOND empty for a one-button box)
//   MS answered N A                the answer given: 1 first button, 7 second button
//   MS exit CODE                   the launcher ended
//   MS game X Y W H / MS game-closed   (--game-window) the stand-in game's window
//   MS limit                       N seconds (default 120) passed: the launcher was ended
//   MS stopped                     DIR\stop.txt appeared: the launcher was ended
//   MS launcher PID                (--follow) a process of the executable NAME appeared
// A question is answered when DIR\answer-N.txt appears holding 1 or 7: the button is pressed
// as a click would. With --game-window the watcher then waits for the window of the stand-in
// game (or of the program the launcher restarted through) and closes it when
// DIR\close-game.txt appears. The exit status is the launcher's exit code (99 on the limit,
// 98 when stopped). With --follow NAME the started program is not followed itself (it is the
// program that starts the launcher): every process whose executable is named NAME is followed
// in turn, as long as the started program runs or a new one appears within 15 seconds of the
// last one's end (and no stand-in game window shows); questions are numbered across them.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <set>
#include <string>

#include "WindowScan.h"

namespace {

const wchar_t kStandInClass[] = L"OmbrixVemoGameStandIn";
const DWORD kPollMs = 20;
const ULONGLONG kNextLauncherMs = 15000;

class EventLog {
  public:
    explicit EventLog(const std::wstring& path)
        : file_(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)),
          start_(::GetTickCount64()) {}
    ~EventLog() {
        if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    }
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    ULONGLONG Elapsed() const { return ::GetTickCount64() - start_; }

    // One line: the time, the kind and its fields, written in one piece.
    void Write(const std::wstring& kind, std::initializer_list<std::wstring> fields) {
        std::wstring line = std::to_wstring(Elapsed()) + L"\t" + kind;
        for (const std::wstring& field : fields) line += L"\t" + Flatten(field);
        line += L"\n";
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                            nullptr, 0, nullptr, nullptr);
        std::string bytes(n, '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], n,
                              nullptr, nullptr);
        DWORD written = 0;
        ::WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

  private:
    static std::wstring Flatten(std::wstring text) {
        for (wchar_t& c : text) {
            if (c == L'\r' || c == L'\n' || c == L'\t') c = L' ';
        }
        return text;
    }

    HANDLE file_;
    ULONGLONG start_;
};

std::wstring Number(long long value) {
    return std::to_wstring(value);
}

long long EpochMilliseconds() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<long long>((ticks - 116444736000000000ULL) / 10000);  // from 1601 to 1970
}

// The answer in DIR\answer-N.txt: 1 or 7, or 0 while there is none.
int ReadAnswer(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char text[8] = {};
    DWORD got = 0;
    ::ReadFile(file, text, sizeof(text) - 1, &got, nullptr);
    ::CloseHandle(file);
    const int answer = std::atoi(text);
    return answer == 1 || answer == 7 ? answer : 0;
}

bool FileThere(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

struct Options {
    ULONGLONG limitMs = 120000;
    bool gameWindow = false;
    std::wstring follow;  // executable name of the processes to follow instead of the started one
    std::wstring dir;
    std::wstring launcher;
    std::wstring arguments;
};

bool ParseOptions(int argc, wchar_t** argv, Options* options) {
    int i = 1;
    for (; i < argc && argv[i][0] == L'-' && argv[i][1] == L'-'; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--game-window") {
            options->gameWindow = true;
        } else if (option == L"--follow" && i + 1 < argc) {
            options->follow = argv[++i];
        } else if (option == L"--limit-s" && i + 1 < argc) {
            options->limitMs = std::wcstoull(argv[++i], nullptr, 10) * 1000;
        } else {
            return false;
        }
    }
    if (argc - i < 2) return false;
    options->dir = argv[i++];
    if (options->dir.back() != L'\\') options->dir += L'\\';
    options->launcher = argv[i++];
    for (; i < argc; ++i)
        options->arguments += (options->arguments.empty() ? L"" : L" ") + std::wstring(argv[i]);
    return true;
}

// The launcher as a shortcut or a parent program starts it: its path, then the arguments.
bool StartLauncher(const Options& options, PROCESS_INFORMATION* process) {
    std::wstring commandLine = Quoted(options.launcher);
    if (!options.arguments.empty()) commandLine += L" " + options.arguments;
    std::wstring folder = options.launcher.substr(0, options.launcher.rfind(L'\\') + 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    return ::CreateProcessW(options.launcher.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                            nullptr, folder.empty() ? nullptr : folder.c_str(), &startup,
                            process) != FALSE;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void WriteRect(EventLog& log, const wchar_t* kind, const RECT& r) {
    log.Write(kind,
              {Number(r.left), Number(r.top), Number(r.right - r.left), Number(r.bottom - r.top)});
}

// Follows the launcher until it ends or the limit passes; answers questions as told.
DWORD Follow(const Options& options, EventLog& log, HANDLE process, DWORD processId,
             int* questionCount) {
    std::wstring lastStatus;
    bool statusSeen = false;
    RECT lastRect{};
    int& questions = *questionCount;
    HWND currentBox = nullptr;
    bool awaitingAnswer = false;
    for (;;) {
        const bool ended = ::WaitForSingleObject(process, kPollMs) == WAIT_OBJECT_0;
        const LauncherView view = ScanLauncher(processId);
        if (!::IsRectEmpty(&view.groupRect) && !SameRect(view.groupRect, lastRect)) {
            lastRect = view.groupRect;
            WriteRect(log, L"window", lastRect);
        }
        if (view.hasMainWindow && (!statusSeen || view.status != lastStatus)) {
            statusSeen = true;
            lastStatus = view.status;
            log.Write(L"status", {lastStatus});
        }
        if (view.questionBox != nullptr && view.questionBox != currentBox) {
            currentBox = view.questionBox;
            awaitingAnswer = true;
            ++questions;
            log.Write(L"question",
                      {Number(questions), view.questionText, view.firstButton, view.secondButton});
        } else if (view.questionBox == nullptr && !awaitingAnswer) {
            currentBox = nullptr;
        }
        if (awaitingAnswer) {
            const int answer = ReadAnswer(options.dir + L"answer-" + Number(questions) + L".txt");
            if (answer != 0 && PressAnswer(currentBox, answer)) {
                awaitingAnswer = false;
                log.Write(L"answered", {Number(questions), Number(answer)});
            }
        }
        if (ended) break;
        const bool stop = FileThere(options.dir + L"stop.txt");
        if (stop || log.Elapsed() > options.limitMs) {
            log.Write(stop ? L"stopped" : L"limit", {});
            ::TerminateProcess(process, stop ? 98 : 99);
            ::WaitForSingleObject(process, 5000);
            break;
        }
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    log.Write(L"exit", {Number(code)});
    return code;
}

// A running process of the executable name that is not in seen, or 0.
DWORD FindNewProcess(const std::wstring& name, const std::set<DWORD>& seen) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD found = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && found == 0;
         more = ::Process32NextW(snapshot, &entry)) {
        if (::lstrcmpiW(entry.szExeFile, name.c_str()) == 0 && seen.count(entry.th32ProcessID) == 0)
            found = entry.th32ProcessID;
    }
    ::CloseHandle(snapshot);
    return found;
}

// Follows every process of options.follow in turn (see the head of this file); the exit code
// of the last one.
DWORD FollowChain(const Options& options, EventLog& log, HANDLE starter) {
    const std::wstring stop = options.dir + L"stop.txt";
    std::set<DWORD> seen;
    int questions = 0;
    DWORD code = 0;
    ULONGLONG lastEnd = log.Elapsed();
    while (log.Elapsed() < options.limitMs && !FileThere(stop)) {
        const DWORD id = FindNewProcess(options.follow, seen);
        HANDLE process =
            id == 0
                ? nullptr
                : ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                                FALSE, id);
        if (process != nullptr) {
            seen.insert(id);
            log.Write(L"launcher", {Number(id)});
            code = Follow(options, log, process, id, &questions);
            ::CloseHandle(process);
            lastEnd = log.Elapsed();
            continue;
        }
        const bool starterRuns = ::WaitForSingleObject(starter, 0) == WAIT_TIMEOUT;
        DWORD gameId = 0;
        if (!starterRuns && (log.Elapsed() - lastEnd > kNextLauncherMs ||
                             (options.gameWindow && FindWindowOfClass(kStandInClass, &gameId)))) {
            break;
        }
        ::Sleep(kPollMs);
    }
    return code;
}

// Waits for the stand-in's window, reports it and closes it when told to.
void FollowGameWindow(const Options& options, EventLog& log) {
    const ULONGLONG deadline = log.Elapsed() + options.limitMs;
    DWORD gameId = 0;
    HWND game = nullptr;
    const std::wstring stop = options.dir + L"stop.txt";
    while (game == nullptr && log.Elapsed() < deadline && !FileThere(stop)) {
        game = FindWindowOfClass(kStandInClass, &gameId);
        if (game == nullptr) ::Sleep(kPollMs);
    }
    if (game == nullptr) return;
    RECT rect{};
    ::GetWindowRect(game, &rect);
    WriteRect(log, L"game", rect);
    while (!FileThere(options.dir + L"close-game.txt") && !FileThere(stop) &&
           log.Elapsed() < deadline) {
        ::Sleep(kPollMs);
    }
    HANDLE gameProcess = ::OpenProcess(SYNCHRONIZE, FALSE, gameId);
    ::PostMessageW(game, WM_CLOSE, 0, 0);
    if (gameProcess != nullptr) {
        ::WaitForSingleObject(gameProcess, 10000);
        ::CloseHandle(gameProcess);
    }
    log.Write(L"game-closed", {});
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fputs(
            "usage: launcher_watch [--limit-s N] [--game-window] [--follow NAME] DIR LAUNCHER "
            "[ARGUMENTS...]\n",
            stderr);
        return 2;
    }
    EventLog log(options.dir + L"events.txt");
    if (!log.IsOpen()) {
        std::fputs("launcher_watch: cannot write the event file\n", stderr);
        return 2;
    }
    PROCESS_INFORMATION process = {};
    if (!StartLauncher(options, &process)) {
        log.Write(L"failed", {Number(static_cast<long long>(::GetLastError()))});
        return 2;
    }
    ::CloseHandle(process.hThread);
    log.Write(L"started", {Number(process.dwProcessId), Number(EpochMilliseconds())});
    int questions = 0;
    const DWORD code = options.follow.empty()
                           ? Follow(options, log, process.hProcess, process.dwProcessId, &questions)
                           : FollowChain(options, log, process.hProcess);
    ::CloseHandle(process.hProcess);
    if (options.gameWindow) FollowGameWindow(options, log);
    return static_cast<int>(code);
}
