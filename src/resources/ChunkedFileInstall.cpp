#include "resources/ChunkedFileInstall.h"

#include <cstring>
#include <cwchar>
#include <unordered_map>

#include "app/Crypto.h"
#include "app/FileServices.h"
#include "app/PositionedFile.h"
#include "app/Log.h"
#include "app/Sha256.h"
#include "app/TextConvert.h"
#include "download/DownloadTextProcessor.h"
#include "framework/ScopedHandle.h"
#include "resources/ChunkDataProcessor.h"
#include "resources/ContentChunker.h"
#include "resources/ContentDigest.h"

using ombrix::ScopedLock;

namespace {

const wchar_t kListTaskName[] = L"list";
const wchar_t kPackageFileName[] = L"qz_game.qzpkg";
const int32_t kWorkers = 3;

uint64_t DigestKey(const unsigned char* digest) {
    uint64_t key;
    std::memcpy(&key, digest, sizeof(key));
    return key;
}

HANDLE OpenForReading(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

ChunkedFileInstall::ChunkedFileInstall(const ChunkedFileJob& job)
    : job_(job), tempPath_(job.path + L".t"), dispatcher_(new DownloaderTaskDispatcher()) {
    dispatcher_->owner = this;
    dispatcher_->maxThreads = kWorkers;
}

ChunkedFileInstall::~ChunkedFileInstall() {
    dispatcher_.reset();  // waits for its workers, which write through target_
}

void ChunkedFileInstall::Stop() {
    stopped_ = true;
    dispatcher_->StopAll();
}

bool ChunkedFileInstall::Fail(int32_t status, const char* step) {
    outcome_->status = status == 200 ? -3 : status;
    target_.Reset();
    ::DeleteFileW(tempPath_.c_str());
    LogEvent("chunked_failed", {{"name", job_.name}, {"step", step}, {"status", outcome_->status}});
    return false;
}

const DownloadDataProcessor* ChunkedFileInstall::CreateDataProcessor(const DownloadTaskInfo& task) {
    ScopedLock guard(sinkLock_);
    std::unique_ptr<DownloadDataProcessor> sink;
    if (task.name == kListTaskName) {
        sink.reset(new DownloadTextProcessor(task));
    } else {
        const size_t index = static_cast<size_t>(std::wcstoull(task.name.c_str() + 1, nullptr, 10));
        if (list_ == nullptr || index >= list_->chunks.size()) return nullptr;
        auto* chunk = new ChunkDataProcessor(task, target_.Get(), targetOffsets_[index],
                                             list_->chunks[index]);
        chunk->onBytes = [this](int64_t delta) {
            if (onBytes) onBytes(delta);
        };
        sink.reset(chunk);
    }
    if (sinks_.count(task.name) != 0) return nullptr;
    DownloadDataProcessor* result = sink.get();
    sinks_.emplace(task.name, std::move(sink));
    return result;
}

void ChunkedFileInstall::OnTaskResult(const DownloadTaskResultInfo& result) {
    ScopedLock guard(sinkLock_);
    const auto found = sinks_.find(result.name);
    if (found == sinks_.end()) return;
    bool ok = result.statusCode == 200;
    if (result.name == kListTaskName) {
        ok = ok && found->second->GetContent(listText_);
    } else {
        ok = ok && static_cast<ChunkDataProcessor*>(found->second.get())->IsDone();
    }
    if (!ok && failedStatus_ == 200) {
        failedStatus_ = result.statusCode == 200 ? -3 : result.statusCode;
        dispatcher_->StopAll();
    }
    sinks_.erase(found);
}

void ChunkedFileInstall::OnAllTasksFinished() {
    std::lock_guard<std::mutex> guard(doneLock_);
    finished_ = true;
    doneSignal_.notify_all();
}

bool ChunkedFileInstall::RunTasks(std::vector<DownloadTaskInfo>& tasks) {
    if (tasks.empty()) return true;
    {
        std::lock_guard<std::mutex> guard(doneLock_);
        finished_ = false;
    }
    dispatcher_->AddTasks(tasks);
    std::unique_lock<std::mutex> guard(doneLock_);
    doneSignal_.wait(guard, [this] { return finished_; });
    ScopedLock sinks(sinkLock_);
    sinks_.clear();  // tasks a stop left without a result
    return failedStatus_ == 200 && !stopped_;
}

bool ChunkedFileInstall::FetchList(ChunkList* list) {
    DownloadTaskInfo task;
    task.url = job_.baseUrl + Utf8ToTextExact(job_.reference.listPath);
    task.name = kListTaskName;
    std::vector<DownloadTaskInfo> tasks{task};
    if (!RunTasks(tasks)) return false;
    listBytes_ = listText_.size();
    if (onBytes) onBytes(static_cast<int64_t>(listBytes_));
    outcome_->fetchedBytes += listText_.size();
    const bool ok = Sha256Digest(listText_) == job_.reference.listSha256 &&
                    ParseChunkList(listText_, list) && list->fileSize == job_.reference.fileSize;
    std::string().swap(listText_);
    if (!ok) failedStatus_ = -3;
    return ok;
}

void ChunkedFileInstall::FindLocalChunks(const ChunkList& list, std::vector<int64_t>* local) {
    local->assign(list.chunks.size(), -1);
    ombrix::ScopedFileHandle old(OpenForReading(job_.path));
    if (!old) return;
    std::unordered_map<uint64_t, uint32_t> wanted;
    wanted.reserve(list.chunks.size());
    for (uint32_t i = 0; i < list.chunks.size(); ++i) {
        wanted.emplace(DigestKey(list.chunks[i].digest), i);
    }
    ChunkStream chunks([&old, this](char* buffer, size_t want, size_t* got) {
        DWORD read = 0;
        const BOOL ok = ::ReadFile(old.Get(), buffer, static_cast<DWORD>(want), &read, nullptr);
        *got = read;
        return ok != FALSE && !stopped_;
    });
    Sha256Hasher hasher;
    const char* data = nullptr;
    size_t size = 0;
    while (chunks.Next(&data, &size)) {
        hasher.Reset();
        hasher.Update(data, size);
        const std::string digest = hasher.Finish();
        if (digest.size() != 32) return;
        const auto found =
            wanted.find(DigestKey(reinterpret_cast<const unsigned char*>(digest.data())));
        if (found == wanted.end()) continue;
        const ChunkEntry& entry = list.chunks[found->second];
        if (entry.size == size && std::memcmp(entry.digest, digest.data(), 32) == 0 &&
            (*local)[found->second] < 0) {
            (*local)[found->second] = static_cast<int64_t>(chunks.ChunkOffset());
        }
    }
}

bool ChunkedFileInstall::FetchChunks(const ChunkList& list, const std::vector<int64_t>& local,
                                     const std::vector<uint32_t>& first) {
    std::vector<DownloadTaskInfo> tasks;
    int64_t planned = 0;
    for (uint32_t i = 0; i < list.chunks.size(); ++i) {
        if (first[i] != i || local[i] >= 0) continue;
        const ChunkEntry& entry = list.chunks[i];
        DownloadTaskInfo task;
        task.url = job_.baseUrl + Utf8ToTextExact(list.packageDirs[entry.package]) + L"/" +
                   kPackageFileName;
        task.name = L"#" + std::to_wstring(i);
        task.rangeStart = entry.offset;
        task.rangeLength = entry.length;
        tasks.push_back(task);
        planned += entry.length;
        outcome_->fetchedBytes += entry.length;
        ++outcome_->fetchedChunks;
    }
    // The list and the chunks: what this file costs.
    if (onPlanned) onPlanned(planned + static_cast<int64_t>(listBytes_));
    return RunTasks(tasks);
}

bool ChunkedFileInstall::Assemble(const ChunkList& list, const std::vector<int64_t>& local,
                                  const std::vector<uint32_t>& first) {
    ombrix::ScopedFileHandle old;
    std::vector<char> buffer(ContentChunker::kMaxSize);
    Md5Hasher md5;
    Sha256Hasher sha;
    // The whole file's MD5 covers every byte; without one, each copied chunk is checked.
    const bool wholeChecked = IsMd5DigestText(job_.expectedMd5);
    for (uint32_t i = 0; i < list.chunks.size(); ++i) {
        if (stopped_) return false;
        const ChunkEntry& entry = list.chunks[i];
        const uint64_t at = targetOffsets_[i];
        const int64_t from = local[first[i]];
        bool ok = true;
        if (from >= 0) {
            if (!old) old.Reset(OpenForReading(job_.path));
            ok = old &&
                 ReadFileAt(old.Get(), static_cast<uint64_t>(from), buffer.data(), entry.size);
            if (ok && !wholeChecked) {
                sha.Reset();
                sha.Update(buffer.data(), entry.size);
                ok = std::memcmp(sha.Finish().data(), entry.digest, 32) == 0;
            }
            ok = ok && WriteFileAt(target_.Get(), at, buffer.data(), entry.size);
            outcome_->localBytes += entry.size;
        } else if (first[i] != i) {
            ok = ReadFileAt(target_.Get(), targetOffsets_[first[i]], buffer.data(), entry.size) &&
                 WriteFileAt(target_.Get(), at, buffer.data(), entry.size);
        } else {
            ok = ReadFileAt(target_.Get(), at, buffer.data(), entry.size);
        }
        if (!ok) return false;
        if (wholeChecked) md5.Update(buffer.data(), entry.size);
    }
    return !wholeChecked || DigestMatches(md5.Finish(), job_.expectedMd5);
}

bool ChunkedFileInstall::Run(ChunkedFileOutcome* outcome) {
    outcome_ = outcome;
    *outcome = ChunkedFileOutcome();
    ChunkList list;
    if (!FetchList(&list)) return Fail(failedStatus_, "list");
    list_ = &list;
    outcome->chunks = list.chunks.size();
    outcome->fileSize = list.fileSize;
    // The first entry of each digest: a chunk the file holds twice is fetched once.
    std::vector<uint32_t> first(list.chunks.size());
    {
        std::unordered_map<uint64_t, uint32_t> seen;
        for (uint32_t i = 0; i < list.chunks.size(); ++i) {
            const auto entry = seen.emplace(DigestKey(list.chunks[i].digest), i);
            const ChunkEntry& earlier = list.chunks[entry.first->second];
            first[i] = std::memcmp(earlier.digest, list.chunks[i].digest, 32) == 0 &&
                               earlier.size == list.chunks[i].size
                           ? entry.first->second
                           : i;
        }
    }
    targetOffsets_.resize(list.chunks.size());
    uint64_t offset = 0;
    for (size_t i = 0; i < list.chunks.size(); ++i) {
        targetOffsets_[i] = offset;
        offset += list.chunks[i].size;
    }
    std::vector<int64_t> local;
    FindLocalChunks(list, &local);
    if (stopped_) return Fail(-2, "local");
    std::wstring folder;
    if (GetParentDirectory(tempPath_, &folder)) CreateDirectories(folder);  // a first install
    target_.Reset(::CreateFileW(tempPath_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(list.fileSize);
    if (!target_ || !::SetFilePointerEx(target_.Get(), size, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(target_.Get())) {
        return Fail(-3, "create");
    }
    if (!FetchChunks(list, local, first)) return Fail(stopped_ ? -2 : failedStatus_, "fetch");
    if (!Assemble(list, local, first)) return Fail(stopped_ ? -2 : -3, "assemble");
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ::SetFileTime(target_.Get(), nullptr, nullptr, &now);
    const bool closed = ::CloseHandle(target_.Release()) != FALSE;
    ::SetFileAttributesW(job_.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!closed || !::MoveFileExW(tempPath_.c_str(), job_.path.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Fail(-3, "replace");
    }
    outcome->writeTime = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    LogEvent("chunked_installed", {{"name", job_.name},
                                   {"size", static_cast<int64_t>(list.fileSize)},
                                   {"chunks", static_cast<int64_t>(outcome->chunks)},
                                   {"fetched_chunks", static_cast<int64_t>(outcome->fetchedChunks)},
                                   {"fetched_bytes", static_cast<int64_t>(outcome->fetchedBytes)},
                                   {"local_bytes", static_cast<int64_t>(outcome->localBytes)}});
    return true;
}
