#include "resources/CDNResourceDownloader.h"

#include <algorithm>
#include <cwchar>
#include <string_view>

#include "app/FileServices.h"
#include "app/Log.h"
#include "app/Sha256.h"
#include "app/TextConvert.h"
#include "resources/CDNConfigText.h"
#include "resources/CDNResourceConfigDataProcessor.h"
#include "resources/CDNResourceDataProcessor.h"
#include "resources/ChunkList.h"
#include "resources/ConfigSignatureCheck.h"
#include "resources/LauncherBundle.h"
#include "resources/ManifestName.h"

using ombrix::ScopedLock;

namespace {

const wchar_t kPackageFileName[] = L"qz_game.qzpkg";
const wchar_t kBundleFileName[] = L"launcher.tmp";
const int32_t kMaxWorkers = 3;

}  // namespace

CCDNResourceDownloader& CCDNResourceDownloader::GetInstance() {
    static CCDNResourceDownloader* instance = new CCDNResourceDownloader();  // never destroyed
    return *instance;
}

std::wstring CCDNResourceDownloader::FormatRequestTime(const SYSTEMTIME& t) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return text;
}

std::wstring CCDNResourceDownloader::MakeTaskUrl(const std::wstring& packageDir,
                                                 int32_t batchMode) const {
    const std::wstring prefix = packageDir.empty() ? std::wstring() : packageDir + L"/";
    switch (batchMode) {
        case DownloadModeConfig: {
            SYSTEMTIME now;
            ::GetLocalTime(&now);
            return configUrl + L"?r=" + FormatRequestTime(now);
        }
        case DownloadModeResource:
        case DownloadModeLauncher:
            return baseUrl + prefix + kPackageFileName;
        default:
            return std::wstring();
    }
}

std::wstring CCDNResourceDownloader::GetBundlePath() const {
    return launcherDir + kBundleFileName;
}

std::wstring CCDNResourceDownloader::GetFilePath(const std::wstring& name,
                                                 int32_t batchMode) const {
    // A launcher file is never written over the installed one: that may be the running
    // launcher itself. The program that installs the bundle puts it in place.
    return batchMode == DownloadModeLauncher ? launcherDir + name + L".t" : gameDir + name;
}

int32_t CCDNResourceDownloader::RequestConfig() {
    if (dispatcher) dispatcher->ClearPendingSegments();
    BeginBatch(DownloadModeConfig);
    // One task: the whole configuration, with its request time.
    DownloadTaskInfo task;
    task.url = MakeTaskUrl(std::wstring(), DownloadModeConfig);
    task.kind = DownloadModeConfig;
    task.rangeStart = -1;
    task.rangeLength = 0;
    dispatcher->AddTasks(std::vector<DownloadTaskInfo>{task});
    return 1;
}

void CCDNResourceDownloader::BeginBatch(int32_t batchMode) {
    {
        ScopedLock lock(statusLock);
        statusMask = 0;
    }
    {
        ScopedLock lock(byteLock);
        totalBytes = 0;
        downloadedBytes = 0;
    }
    mode = batchMode;
    {
        ScopedLock lock(processorLock);
        plan.reset();
        peakSinks = 0;
    }
    bundleFailed = false;
    folders.Clear();
    if (!dispatcher) {
        dispatcher.reset(new DownloaderTaskDispatcher());
        dispatcher->owner = this;
        dispatcher->maxThreads = kMaxWorkers;
    }
}

int32_t CCDNResourceDownloader::StartBatch(const ResourceUpdateList& items, int32_t batchMode) {
    BeginBatch(batchMode);
    if (batchMode != DownloadModeResource && batchMode != DownloadModeLauncher) return 1;
    if (batchMode == DownloadModeLauncher) ResetBundle(GetBundlePath());
    {
        ScopedLock lock(byteLock);
        for (size_t i = 0; i < items.size(); ++i) {
            totalBytes += static_cast<uint32_t>(items.Entry(i).length);
        }
    }
    // Files published in chunks that have an older copy on disk go first, on a thread of their
    // own; the whole-file tasks follow.
    if (batchMode == DownloadModeResource && chunkedUpdate.Claims(items, gameDir)) {
        StartChunkedPart(items);
        return 1;
    }
    AddFileTasks(items, batchMode);
    return 1;
}

void CCDNResourceDownloader::AddFileTasks(const ResourceUpdateList& items, int32_t batchMode) {
    // The files stay in the plan, which shares the items and their CDN list; the dispatcher's
    // segments hold indexes into it.
    auto files = std::make_shared<const FileBatchPlan>(
        items, batchMode, [this, batchMode](const std::wstring& packageDir) {
            return MakeTaskUrl(packageDir, batchMode);
        });
    {
        ScopedLock lock(processorLock);
        plan = files;
    }
    dispatcher->AddTasks(std::shared_ptr<const DownloadTaskSource>(files));
}

void CCDNResourceDownloader::StartChunkedPart(const ResourceUpdateList& items) {
    ChunkedUpdate::Callbacks callbacks;
    callbacks.bytes = [this](int64_t delta) { OnBytesWritten(delta); };
    callbacks.planned = [this](int64_t delta) {
        ScopedLock lock(byteLock);
        totalBytes += delta;
    };
    callbacks.installed = [this](const std::wstring& name, uint64_t size, uint64_t writeTime,
                                 const std::wstring& digest) {
        if (onFileStamped) onFileStamped(name, size, writeTime, digest);
        DownloadTaskInfo task;
        task.name = name;
        task.kind = DownloadModeResource;
        if (onFileInstalled) onFileInstalled(task, digest);
    };
    callbacks.done = [this](const ResourceUpdateList& rest, int32_t status) {
        // A batch started from the configuration's result: the worker that fetched the
        // configuration ends first, so that the end of all tasks is reported once, for this batch.
        WaitWorkersIdle();
        chunkedPending = false;
        {
            ScopedLock lock(statusLock);
            statusMask |= status;  // the chunked files' outcome, as a task's
        }
        if (status == 200 && !rest.empty()) {
            AddFileTasks(rest, DownloadModeResource);
        } else {
            OnAllTasksFinished();  // no worker is going to report the end
        }
    };
    chunkedPending = true;
    if (chunkedUpdate.Start(items, gameDir, baseUrl, callbacks)) return;
    chunkedPending = false;
    AddFileTasks(items, DownloadModeResource);  // no thread to be had: every file whole
}

void CCDNResourceDownloader::WaitWorkersIdle() {
    // Counted before looking: the end of the last worker comes after the look or was seen by it.
    // Not both locks at once: OnAllTasksFinished takes idleLock_ inside the dispatcher's.
    uint64_t seen = 0;
    {
        std::lock_guard<std::mutex> idle(idleLock_);
        seen = idleCount_;
    }
    {
        ScopedLock lock(dispatcher->lock);
        if (dispatcher->activeTasks.empty()) return;
    }
    std::unique_lock<std::mutex> idle(idleLock_);
    idleSignal_.wait(idle, [this, seen] { return idleCount_ != seen; });
}

bool CCDNResourceDownloader::HasActiveWorkers() {
    if (!dispatcher) return false;
    if (chunkedUpdate.IsRunning()) return true;
    ScopedLock lock(dispatcher->lock);
    return !dispatcher->activeTasks.empty();
}

void CCDNResourceDownloader::StopAll() {
    chunkedUpdate.Stop();
    if (dispatcher) dispatcher->StopAll();
}

void CCDNResourceDownloader::OnBytesWritten(int64_t delta) {
    int64_t downloaded = 0;
    int64_t total = 0;
    {
        ScopedLock lock(byteLock);
        downloadedBytes += delta;
        downloaded = downloadedBytes;
        total = totalBytes;
    }
    if (onProgress) onProgress(downloaded, total);
}

const DownloadDataProcessor* CCDNResourceDownloader::CreateDataProcessor(
    const DownloadTaskInfo& task) {
    // The sink is made outside the lock (three workers ask for one a file); only its
    // registration is guarded.
    std::shared_ptr<const FileBatchPlan> files;
    {
        ScopedLock lock(processorLock);
        files = plan;
    }
    std::unique_ptr<DownloadDataProcessor> sink;
    switch (task.kind) {
        case DownloadModeConfig:
            sink.reset(new CDNResourceConfigDataProcessor(task));
            break;
        case DownloadModeResource:
        case DownloadModeLauncher: {
            if (!IsSafeManifestName(task.name)) return nullptr;
            std::wstring md5;
            std::wstring sha256;
            if (files) files->FindDigests(task.name, &md5, &sha256);
            auto* file = new CDNResourceDataProcessor(task, GetFilePath(task.name, task.kind), md5,
                                                      sha256, &folders);
            file->onBytesWritten = [this](int64_t delta) { OnBytesWritten(delta); };
            if (task.kind == DownloadModeResource) {
                file->onInstalled = [this, file](const DownloadTaskInfo& installed,
                                                 const std::wstring& checked) {
                    if (onFileStamped) {
                        onFileStamped(installed.name, file->InstalledSize(),
                                      file->InstalledWriteTime(), checked);
                    }
                    if (onFileInstalled) onFileInstalled(installed, checked);
                };
            }
            sink.reset(file);
            break;
        }
        default:
            return nullptr;
    }
    ScopedLock lock(processorLock);
    // One sink per name: a second task of the same name gets none.
    if (processors.count(task.name) != 0) return nullptr;
    DownloadDataProcessor* result = sink.get();
    processors.emplace(task.name, std::move(sink));
    if (processors.size() > peakSinks) peakSinks = processors.size();
    if (task.kind != DownloadModeConfig && onTaskStarted) onTaskStarted(task);
    return result;
}

void CCDNResourceDownloader::OnTaskResult(const DownloadTaskResultInfo& result) {
    ScopedLock lock(processorLock);
    auto found = processors.find(result.name);
    if (found == processors.end()) return;
    if (result.kind == DownloadModeConfig) {
        HandleConfigResult(result, found->second.get());
    } else if (result.kind == DownloadModeResource || result.kind == DownloadModeLauncher) {
        HandleFileResult(result, found->second.get());
    }
    // The handlers may have started a new batch, whose sinks are registered under other names
    // only once this lock is released; the entry found above is still this task's sink.
    processors.erase(result.name);
}

void CCDNResourceDownloader::HandleConfigResult(const DownloadTaskResultInfo& result,
                                                DownloadDataProcessor* sink) {
    statusMask |= result.statusCode;
    CDNDownloadState state = CDNDownloadFailed;
    CDNConfigMaps maps;
    if (result.statusCode == 200) {
        // The body is taken over from the sink in its blocks, without its byte-order mark; each
        // block goes as soon as its records are in the maps.
        ConfigBody body = static_cast<CDNResourceConfigDataProcessor*>(sink)->TakeBody();
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        LARGE_INTEGER frequency;
        ::QueryPerformanceCounter(&start);
        state = CheckAndParseConfig(&body, &maps);
        ::QueryPerformanceCounter(&end);
        ::QueryPerformanceFrequency(&frequency);
        lastConfigMicros = (end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
        if (!publisherKey.empty()) {
            LogEvent("config_check", {{"result", ConfigCheckText(lastConfigCheck)},
                                      {"release", acceptedPart.release},
                                      {"serial", acceptedPart.serial}});
        }
    }
    if (onConfigResult) onConfigResult(state, maps);
}

CDNDownloadState CCDNResourceDownloader::CheckAndParseConfig(ConfigBody* body,
                                                             CDNConfigMaps* maps) {
    lastConfigCheck = ConfigAccepted;
    acceptedPart = SignedPart();
    chunkedUpdate.SetReferences(ChunkReferences());
    const bool checked = !publisherKey.empty();
    // The signature covers every byte before its line: those before the tail are hashed as the
    // parse passes them, block by block, the rest from the tail.
    Sha256Hasher digest;
    std::function<void(const char*, size_t)> leading;
    if (checked) leading = [&digest](const char* data, size_t size) { digest.Update(data, size); };
    CDNConfigMaps parsed;
    bool allCarrySha256 = false;
    ConfigTail tail;
    const CDNDownloadState state =
        ParseCDNConfig(body, &parsed, checked ? &allCarrySha256 : nullptr, &tail, leading);
    if (!checked) {
        if (state != CDNDownloadSuccess) return state;
        chunkedUpdate.SetReferences(ParseChunkReferences(tail.text));
        *maps = std::move(parsed);
        return CDNDownloadSuccess;
    }
    // Refused like a text that does not parse: nothing of it is acted upon or recorded.
    SignedPart part;
    lastConfigCheck = CheckConfigSignature(tail, &digest, publisherKey, acceptedSerialPath, &part);
    if (lastConfigCheck != ConfigAccepted) return CDNDownloadParseFailed;
    if (state != CDNDownloadSuccess) return state;
    if (!allCarrySha256) {
        lastConfigCheck = ConfigNoDigest;
        return CDNDownloadParseFailed;
    }
    RecordAcceptedSerial(acceptedSerialPath, part);
    acceptedPart = part;
    // Read from the signed bytes only: the signature covers every list through its digest.
    chunkedUpdate.SetReferences(
        ParseChunkReferences(std::string_view(tail.text.data(), part.signedLength - tail.offset)));
    *maps = std::move(parsed);
    return CDNDownloadSuccess;
}

void CCDNResourceDownloader::HandleFileResult(const DownloadTaskResultInfo& result,
                                              DownloadDataProcessor* sink) {
    auto* file = static_cast<CDNResourceDataProcessor*>(sink);
    // A success is a file on disk that passed its checks, whatever the request reported.
    const int32_t status =
        result.statusCode == 200 && !file->IsInstalled() ? -3 : result.statusCode;
    {
        ScopedLock lock(statusLock);
        statusMask |= status;
    }
    if (status != 200) {
        if (dispatcher) dispatcher->StopAll();
        return;
    }
    if (result.kind == DownloadModeLauncher) {
        // The bundle carries the file to the restarted launcher; the written copy goes.
        std::string content;
        const bool read = ReadFileBytes(file->Path(), &content);
        ::DeleteFileW(file->Path().c_str());
        if (!read || !AppendBundleRecord(GetBundlePath(), TextToNarrow(result.name), content)) {
            // A bundle missing a file must never be marked complete: the batch fails.
            LogEvent("bundle_failed", {{"name", result.name}, {"read", read}});
            bundleFailed = true;
            if (dispatcher) dispatcher->StopAll();
            return;
        }
    }
    if (onTaskFinished) onTaskFinished(result, CDNDownloadSuccess);
}

void CCDNResourceDownloader::OnAllTasksFinished() {
    {
        std::lock_guard<std::mutex> idle(idleLock_);
        ++idleCount_;
    }
    idleSignal_.notify_all();
    const int32_t batchMode = mode;
    if (batchMode == DownloadModeConfig) return;
    // The chunked part of the batch runs; the batch ends after it.
    if (chunkedPending) return;
    // Not under processorLock: this runs inside the dispatcher's lock.
    LogEvent("batch_sinks", {{"mode", batchMode}, {"peak", peakSinks.load()}});
    int32_t mask = 0;
    {
        ScopedLock lock(statusLock);
        mask = statusMask;
    }
    if (mask == 200 && !bundleFailed) {
        if (onBatchFinished) onBatchFinished(CDNDownloadSuccess, batchMode, 200);
        return;
    }
    if (batchMode == DownloadModeLauncher) DeleteBundle(GetBundlePath());
    if (onBatchFinished) onBatchFinished(CDNDownloadFailed, batchMode, mask);
}
