// Whole updates against the nginx CDN of run-with-cdn.sh: publishing a tree with the package
// tool and running the resource manager the way the window does, without a window.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "TestTree.h"
#include "app/TextConvert.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"
#include "resources/CDNConfigText.h"
#include "resources/CDNResourceDownloader.h"
#include "resources/ManifestText.h"
#include "resources/ResourceManager.h"

namespace update_harness {

inline std::wstring Env(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD n = ::GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

inline std::wstring ProgramDir() {
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.rfind(L'\\') + 1);
}

// Runs a program of the build's bin folder and returns its exit status (-1 when it could not
// start or did not end within two minutes). With output, its standard output goes to that file.
inline int RunProgram(const std::wstring& exe, const std::wstring& arguments,
                      const std::wstring& output = std::wstring(), DWORD timeoutMs = 120000) {
    std::wstring commandLine = L"\"" + ProgramDir() + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ombrix::ScopedFileHandle outputFile;
    if (!output.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        outputFile.Reset(::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!outputFile) return -1;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = outputFile.Get();
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, outputFile.IsValid(), 0,
                          nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    ombrix::ScopedKernelHandle processHandle(process.hProcess);
    ombrix::ScopedKernelHandle threadHandle(process.hThread);
    if (::WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 1);  // nothing outlives its test
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

using Files = std::map<std::wstring, std::string>;  // relative name -> content

inline void WriteTree(const std::wstring& dir, const Files& files) {
    for (const auto& file : files) testing_tree::Write(dir + file.first, file.second);
}

// Publishes game (and launcher) files as CDN tree "name" and returns its configuration URL.
inline std::wstring Publish(const std::wstring& name, const Files& game,
                            const Files& launcher = Files(), int packageMiB = 1) {
    testing_tree::TempFolder source;
    WriteTree(source.path() + L"game\\", game);
    std::wstring arguments = L"--game \"" + source.path() + L"game\" --out \"" +
                             Env(L"OMBRIX_TEST_CDN_ROOT") + name + L"\" --package-mib " +
                             std::to_wstring(packageMiB);
    if (!launcher.empty()) {
        WriteTree(source.path() + L"launcher\\", launcher);
        arguments += L" --launcher \"" + source.path() + L"launcher\"";
    }
    if (RunProgram(L"OmbrixPack.exe", arguments) != 0) return std::wstring();
    return Env(L"OMBRIX_TEST_CDN_URL") + name + L"/config/resources.txt";
}

inline std::wstring ConfigPath(const std::wstring& name) {
    return Env(L"OMBRIX_TEST_CDN_ROOT") + name + L"\\config\\resources.txt";
}
inline std::wstring PackagePath(const std::wstring& name, const std::wstring& packageDir) {
    std::wstring dir = packageDir;
    for (wchar_t& c : dir) {
        if (c == L'/') c = L'\\';
    }
    return Env(L"OMBRIX_TEST_CDN_ROOT") + name + L"\\" + dir + L"\\qz_game.qzpkg";
}

inline ResoureConfigList ReadConfig(const std::wstring& name) {
    ResoureConfigList list;
    std::string body = testing_tree::Read(ConfigPath(name));
    if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);  // as the text sink does
    ParseCDNConfigText(body, &list);
    return list;
}

// The text "version.txt" must hold once every resource of the configuration is installed.
inline std::string ExpectedVersionText(const ResoureConfigList& config) {
    std::map<std::wstring, std::wstring> lines;
    for (const ResoureConfigInfo& info : config) {
        if (!IsLauncherCategory(info.category)) lines.emplace(info.name, info.md5);
    }
    std::wstring text;
    for (const auto& line : lines) text += line.first + L"=" + line.second + L"\r\n";
    return TextToUtf8Exact(text);
}

struct UpdateRun {
    std::vector<int> states;  // every state but 17
    int progressReports = 0;
    int64_t lastDownloaded = 0;
    int64_t totalNotice = 0;
    int32_t errorCode = 0;
    int finalState = 0;
    bool finished = false;
};

// One update the way the window drives it; returns when a final state arrived.
inline UpdateRun RunUpdate(const std::wstring& root, const std::wstring& configUrl,
                           const std::wstring& launcherDir = std::wstring()) {
    struct Shared {
        ombrix::CriticalSection lock;
        ombrix::ScopedKernelHandle event{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
        UpdateRun run;
        bool sizeNotice = false;
    } shared;
    CResourceManager& manager = CResourceManager::GetInstance();
    manager.progressCallback = [&shared](ResourceManagerProgressState state,
                                         ResourceManagerProgressInfoBase* info) {
        ombrix::ScopedLock guard(shared.lock);
        UpdateRun& run = shared.run;
        if (state == ProgressUpdateProgress) {
            ++run.progressReports;
            run.lastDownloaded =
                static_cast<ResourceManagerUpdateProgressInfo*>(info)->downloadedBytes;
            return;
        }
        run.states.push_back(state);
        if (state == ProgressDownloadSizeNotice) {
            run.totalNotice = static_cast<RequestDownloadTotalSizeNoticeInfo*>(info)->totalBytes;
            shared.sizeNotice = true;
        } else if (state == ProgressResourceUpdateFailed) {
            run.errorCode = static_cast<ResourceManagerUpdateErrorInfo*>(info)->errorCode;
        }
        if (state == 7 || state == 8 || state == 9 || state == 10 || state == 12 || state == 14 ||
            state == 18 || state == 19) {
            run.finalState = state;
            ::SetEvent(shared.event.Get());
        }
    };
    // Unsigned trees, taken as they arrive; the signed path has its own table (test_pack_releases).
    manager.publisherKey.clear();
    manager.Initialize(launcherDir.empty() ? root : launcherDir, root, configUrl);
    CCDNResourceDownloader& downloader = CCDNResourceDownloader::GetInstance();
    for (int round = 0; round < 2; ++round) {
        if (::WaitForSingleObject(shared.event.Get(), 120000) != WAIT_OBJECT_0) break;
        bool startBatches = false;
        {
            ombrix::ScopedLock guard(shared.lock);
            startBatches = shared.run.finalState == ProgressDownloadSizeNotice;
            if (!startBatches) shared.run.finished = true;
        }
        if (!startBatches) break;
        while (downloader.HasActiveWorkers()) ::Sleep(5);
        int32_t launcherStarted = 0;
        manager.StartLauncherUpdate(&launcherStarted);
        if (launcherStarted == 0) manager.StartResourceUpdate();
    }
    while (downloader.HasActiveWorkers()) ::Sleep(5);
    manager.progressCallback = nullptr;
    ombrix::ScopedLock guard(shared.lock);
    return shared.run;
}

}  // namespace update_harness
