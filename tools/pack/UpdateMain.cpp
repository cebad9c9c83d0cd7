// OmbrixUpdate: one whole update through the resource manager, without a window.
//   OmbrixUpdate --root DIR --config URL [--launcher DIR] [--retry-pause-ms N] [--timeout-ms N]
//                [--segment-pause-ms N] [--log FILE] [--verify] [--publisher-key FILE.pub]
//                [--memory]
// With --publisher-key the configuration is checked as a launcher carrying that key checks it
// (signature, serial, expiry, SHA-256 of every range); without it, it is taken as it arrives.
// A line "signature RESULT [release=NAME serial=N]" tells what the check found.
// (--segment-pause-ms changes the product's pause before each request: benchmarks measure what
// that pause costs. --verify reads every installed file the configuration keeps, not only those
// whose size or write time changed, and fetches again what no longer matches.)
// Prints every progress state with its value and the milliseconds since the start (states 17
// and 21 only as running figures), then the files the check read and those it found gone or
// changed and the update mended, the time taken by checking and parsing the configuration, the
// processor time, the wall time and the peak working set. With --memory, before each state line
// a line "memory MS WORKING_SET" gives the largest working set seen (every 20 ms) since the state
// before: where in the update the memory goes.
// Exit status 0 when the update ended with state 18 or 19, otherwise the final state. With
// --log, FILE receives the launcher's log lines of the update (appended). A state 7
// is answered as the window does: wait until the downloader's workers are idle, start the
// launcher batch, and the resource batch when no launcher batch started.
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <string>

#include "app/Log.h"
#include "download/DownloadPauses.h"
#include "download/TransferTimeouts.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"
#include "resources/CDNResourceDownloader.h"
#include "resources/ConfigSignatureCheck.h"
#include "resources/ResourceManager.h"

namespace {

struct Report {
    int32_t state;
    int64_t value;
};

class ReportQueue {
  public:
    ReportQueue() : event_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    void Push(const Report& report) {
        {
            ombrix::ScopedLock guard(lock_);
            reports_.push_back(report);
        }
        ::SetEvent(event_.Get());
    }
    // The next report, waiting at most timeoutMs; false when none came.
    bool Pop(DWORD timeoutMs, Report* report) {
        for (int round = 0; round < 2; ++round) {
            {
                ombrix::ScopedLock guard(lock_);
                if (!reports_.empty()) {
                    *report = reports_.front();
                    reports_.pop_front();
                    return true;
                }
            }
            if (round == 0) ::WaitForSingleObject(event_.Get(), timeoutMs);
        }
        return false;
    }

  private:
    ombrix::CriticalSection lock_;
    std::deque<Report> reports_;
    ombrix::ScopedKernelHandle event_;
};

bool IsFinalState(int32_t state) {
    return state == ProgressCDNConfigConnectFailed || state == ProgressCDNConfigContentFailed ||
           state == ProgressCDNConfigParseFailed || state == ProgressResourceUpdateFailed ||
           state == ProgressLauncherUpdateFailed || state == ProgressLauncherUpdateFinished ||
           state == ProgressResourceUpdateFinished;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring root;
    std::wstring launcher;
    std::wstring config;
    std::wstring logPath;
    long retryPause = -1;
    long segmentPause = -1;
    long timeout = -1;  // receive time-out of every request (send time-outs never exceed it)
    bool verify = false;
    bool traceMemory = false;
    std::wstring keyFile;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--verify") {
            verify = true;
            continue;
        }
        if (option == L"--memory") {
            traceMemory = true;
            continue;
        }
        if (i + 1 >= argc) break;
        ++i;
        if (option == L"--root") {
            root = argv[i];
        } else if (option == L"--launcher") {
            launcher = argv[i];
        } else if (option == L"--config") {
            config = argv[i];
        } else if (option == L"--retry-pause-ms") {
            retryPause = std::wcstol(argv[i], nullptr, 10);
        } else if (option == L"--segment-pause-ms") {
            segmentPause = std::wcstol(argv[i], nullptr, 10);
        } else if (option == L"--log") {
            logPath = argv[i];
        } else if (option == L"--publisher-key") {
            keyFile = argv[i];
        } else if (option == L"--timeout-ms") {
            timeout = std::wcstol(argv[i], nullptr, 10);
        }
    }
    if (root.empty() || config.empty()) {
        std::fprintf(stderr,
                     "usage: OmbrixUpdate --root DIR --config URL [--launcher DIR] "
                     "[--retry-pause-ms N] [--timeout-ms N] [--segment-pause-ms N] "
                     "[--log FILE] [--verify] [--publisher-key FILE.pub] [--memory]\n");
        return 2;
    }
    std::string publisherKey;
    if (!keyFile.empty() && !ReadPublisherKeyFile(keyFile, &publisherKey)) {
        std::fprintf(stderr, "OmbrixUpdate: not a public key file of OmbrixPack --new-key\n");
        return 2;
    }
    if (root.back() != L'\\') root.push_back(L'\\');
    if (launcher.empty()) launcher = root;
    if (launcher.back() != L'\\') launcher.push_back(L'\\');
    ScopedDownloadPauses pauses(
        retryPause >= 0 ? static_cast<uint32_t>(retryPause) : kTransferRetryPauseMs,
        segmentPause >= 0 ? static_cast<uint32_t>(segmentPause) : kSegmentPauseMs);
    ScopedTransferTimeouts timeouts(timeout > 0 ? static_cast<uint32_t>(timeout)
                                                : kTransferReceiveTimeoutMs);

    if (!logPath.empty() && !OpenLog(logPath)) {
        std::fprintf(stderr, "OmbrixUpdate: the log cannot be opened\n");
    }

    ReportQueue queue;
    CResourceManager& manager = CResourceManager::GetInstance();
    manager.publisherKey = publisherKey;
    std::atomic<int64_t> downloaded{0};
    manager.progressCallback = [&queue, &downloaded](ResourceManagerProgressState state,
                                                     ResourceManagerProgressInfoBase* info) {
        int64_t value = 0;
        if (state == ProgressLocalFilesChecking) return;  // the figures come at the end
        if (state == ProgressUpdateProgress) {
            // Frequent: kept as a number only, so that reporting costs the workers nothing.
            downloaded.store(
                static_cast<ResourceManagerUpdateProgressInfo*>(info)->downloadedBytes);
            return;
        }
        if (auto* size = dynamic_cast<RequestDownloadTotalSizeNoticeInfo*>(info)) {
            value = size->totalBytes;
        } else if (auto* error = dynamic_cast<ResourceManagerUpdateErrorInfo*>(info)) {
            value = error->errorCode;
        }
        queue.Push(Report{state, value});
    };

    if (verify) manager.localCheck.RequestFullCheck();
    const ULONGLONG started = ::GetTickCount64();
    manager.Initialize(launcher, root, config);
    int32_t finalState = 0;
    int64_t lastPrinted = 0;
    SIZE_T largestWorkingSet = 0;  // since the state before (--memory)
    while (finalState == 0) {
        Report report{0, 0};
        // A progress line per 256 KiB lets a watcher follow the update (and kill it at a byte
        // count): checked at every report and every 20 ms without one.
        for (;;) {
            const bool popped = queue.Pop(20, &report);
            if (traceMemory) {
                PROCESS_MEMORY_COUNTERS memory{};
                memory.cb = sizeof(memory);
                ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
                if (memory.WorkingSetSize > largestWorkingSet) {
                    largestWorkingSet = memory.WorkingSetSize;
                }
            }
            const int64_t now = downloaded.load();
            if (now - lastPrinted >= 262144) {
                lastPrinted = now;
                std::printf("progress %lld\n", static_cast<long long>(now));
                std::fflush(stdout);
            }
            if (popped) break;
        }
        if (!publisherKey.empty() && (report.state == ProgressCDNConfigReceived ||
                                      report.state == ProgressCDNConfigParseFailed)) {
            const CCDNResourceDownloader& downloader = CCDNResourceDownloader::GetInstance();
            if (downloader.lastConfigCheck == ConfigAccepted) {
                std::printf("signature accepted release=%s serial=%llu\n",
                            downloader.acceptedPart.release.c_str(),
                            static_cast<unsigned long long>(downloader.acceptedPart.serial));
            } else {
                std::printf("signature %s\n", ConfigCheckText(downloader.lastConfigCheck));
            }
        }
        if (traceMemory) {
            std::printf("memory %llu %llu\n",
                        static_cast<unsigned long long>(::GetTickCount64() - started),
                        static_cast<unsigned long long>(largestWorkingSet));
            largestWorkingSet = 0;
        }
        std::printf("state %d %lld %llu\n", report.state, static_cast<long long>(report.value),
                    static_cast<unsigned long long>(::GetTickCount64() - started));
        std::fflush(stdout);
        if (report.state == ProgressDownloadSizeNotice) {
            CCDNResourceDownloader& downloader = CCDNResourceDownloader::GetInstance();
            while (downloader.HasActiveWorkers()) ::Sleep(10);
            int32_t launcherStarted = 0;
            manager.StartLauncherUpdate(&launcherStarted);
            if (launcherStarted == 0) manager.StartResourceUpdate();
        } else if (IsFinalState(report.state)) {
            finalState = report.state;
        }
    }
    const ULONGLONG elapsed = ::GetTickCount64() - started;
    // Mended: found gone or changed, and now installed with the configuration's digest.
    size_t mended = 0;
    {
        ombrix::ScopedLock guard(manager.lock);
        for (const std::wstring& name : manager.localCheck.damaged) {
            const auto local = manager.localResources.find(name);
            const auto cdn = manager.cdnResources->find(name);
            if (local != manager.localResources.end() && cdn != manager.cdnResources->end() &&
                !local->md5.empty() && local->md5 == cdn->md5) {
                ++mended;
            }
        }
    }
    std::printf("files_checked %llu\nfiles_damaged %llu\nfiles_mended %llu\n",
                static_cast<unsigned long long>(manager.localCheck.filesChecked),
                static_cast<unsigned long long>(manager.localCheck.damaged.size()),
                static_cast<unsigned long long>(mended));
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    FILETIME created{}, exited{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
               10000;
    };
    std::printf("cpu_ms %llu\n", ms(kernel) + ms(user));
    std::printf("check_disk_ms %llu\ncheck_list_ms %llu\ncheck_wait_ms %llu\ncheck_ms %llu\n",
                static_cast<unsigned long long>(manager.localCheck.diskMs),
                static_cast<unsigned long long>(manager.localCheck.listMs),
                static_cast<unsigned long long>(manager.localCheck.waitMs),
                static_cast<unsigned long long>(manager.localCheck.runMs));
    std::printf("config_check_us %lld\n",
                static_cast<long long>(CCDNResourceDownloader::GetInstance().lastConfigMicros));
    std::printf("elapsed_ms %llu\npeak_working_set %llu\n",
                static_cast<unsigned long long>(elapsed),
                static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    std::fflush(stdout);
    // The downloader's workers may still be leaving their loops; end without tearing down.
    const int exitCode =
        finalState == ProgressResourceUpdateFinished || finalState == ProgressLauncherUpdateFinished
            ? 0
            : finalState;
    LogEvent("exit", {{"code", exitCode}, {"ms", elapsed}});
    ::ExitProcess(static_cast<UINT>(exitCode));
}
