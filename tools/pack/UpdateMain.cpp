// OmbrixUpdate: one whole update through the resource manager, without a window.
//   OmbrixUpdate --root DIR --config URL [--launcher DIR] [--retry-pause-ms N] [--timeout-ms N]
//                [--segment-pause-ms N] [--publisher-key FILE.pub]
// With --publisher-key the configuration is checked as a launcher carrying that key checks it
// (signature, serial, expiry, SHA-256 of every range); without it, it is taken as it arrives.
// A line "signature RESULT [release=NAME serial=N]" tells what the check found.
// (--segment-pause-ms changes the product's pause before each request: benchmarks measure what
// that pause costs.)
// Prints every progress state (state 17 only as a running byte count), then the time taken by
// checking and parsing the configuration, the wall time and the peak working set. Exit status 0
// when the update ended with state 18 or 19, otherwise the final state. A state 7 is answered as
// the window does: wait until the downloader's workers are idle, start the launcher batch, and the
// resource batch when no launcher batch started.
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <string>

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
    long retryPause = -1;
    long segmentPause = -1;
    long timeout = -1;  // receive time-out of every request (send time-outs never exceed it)
    std::wstring keyFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        if (option == L"--root") {
            root = argv[i + 1];
        } else if (option == L"--launcher") {
            launcher = argv[i + 1];
        } else if (option == L"--config") {
            config = argv[i + 1];
        } else if (option == L"--retry-pause-ms") {
            retryPause = std::wcstol(argv[i + 1], nullptr, 10);
        } else if (option == L"--segment-pause-ms") {
            segmentPause = std::wcstol(argv[i + 1], nullptr, 10);
        } else if (option == L"--publisher-key") {
            keyFile = argv[i + 1];
        } else if (option == L"--timeout-ms") {
            timeout = std::wcstol(argv[i + 1], nullptr, 10);
        }
    }
    if (root.empty() || config.empty()) {
        std::fprintf(stderr,
                     "usage: OmbrixUpdate --root DIR --config URL [--launcher DIR] "
                     "[--retry-pause-ms N] [--timeout-ms N] [--segment-pause-ms N] "
                     "[--publisher-key FILE.pub]\n");
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

    ReportQueue queue;
    CResourceManager& manager = CResourceManager::GetInstance();
    manager.publisherKey = publisherKey;
    std::atomic<int64_t> downloaded{0};
    manager.progressCallback = [&queue, &downloaded](ResourceManagerProgressState state,
                                                     ResourceManagerProgressInfoBase* info) {
        int64_t value = 0;
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

    const ULONGLONG started = ::GetTickCount64();
    manager.Initialize(launcher, root, config);
    int32_t finalState = 0;
    int64_t lastPrinted = 0;
    while (finalState == 0) {
        Report report{0, 0};
        // A progress line per mebibyte, checked every 20 ms, lets a watcher follow the update.
        while (!queue.Pop(20, &report)) {
            const int64_t now = downloaded.load();
            if (now - lastPrinted >= 1048576) {
                lastPrinted = now;
                std::printf("progress %lld\n", static_cast<long long>(now));
                std::fflush(stdout);
            }
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
        std::printf("state %d %lld\n", report.state, static_cast<long long>(report.value));
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
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
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
    ::ExitProcess(static_cast<UINT>(exitCode));
}
