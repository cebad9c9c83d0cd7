#include "resources/ChunkedUpdate.h"

#include <system_error>
#include <thread>

#include "app/FileServices.h"
#include "app/Log.h"
#include "app/TextConvert.h"
#include "resources/ChunkedFileInstall.h"

void ChunkedUpdate::SetReferences(ChunkReferences references) {
    references_.swap(references);
}

const ChunkReference* ChunkedUpdate::Find(const std::wstring& name) const {
    if (references_.empty()) return nullptr;
    const auto found = references_.find(TextToUtf8Exact(name));
    return found == references_.end() ? nullptr : &found->second;
}

bool ChunkedUpdate::Claims(const ResourceUpdateList& items, const std::wstring& gameDir) const {
    if (references_.empty()) return false;
    for (size_t i = 0; i < items.size(); ++i) {
        const ResoureConfigEntry& item = items.Entry(i);
        const std::wstring name(items.Name(i));
        if (Find(name) != nullptr && (item.length == 0 || FileExists(gameDir + name))) {
            return true;
        }
    }
    return false;
}

ChunkedUpdate::~ChunkedUpdate() {
    Stop();
}

void ChunkedUpdate::Join() {
    std::lock_guard<std::mutex> guard(threadLock_);
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();  // its last steps need nothing of this object but the flag
    } else {
        thread_.join();
    }
}

bool ChunkedUpdate::Start(const ResourceUpdateList& items, const std::wstring& gameDir,
                          const std::wstring& baseUrl, Callbacks callbacks) {
    Join();
    running_ = true;
    stopped_ = false;
    const uint32_t run = ++runs_;
    std::lock_guard<std::mutex> guard(threadLock_);
    try {
        thread_ = std::thread(&ChunkedUpdate::Run, this, run, items, gameDir, baseUrl, callbacks);
        return true;
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
}

void ChunkedUpdate::Stop() {
    stopped_ = true;
    {
        std::lock_guard<std::mutex> guard(currentLock_);
        if (current_ != nullptr) current_->Stop();
    }
    Join();
}

void ChunkedUpdate::Run(uint32_t run, ResourceUpdateList items, std::wstring gameDir,
                        std::wstring baseUrl, Callbacks callbacks) {
    ResourceUpdateList rest(items.SharedSource());
    int32_t status = 200;
    for (size_t i = 0; i < items.size(); ++i) {
        const ResoureConfigEntry& item = items.Entry(i);
        const std::wstring name(items.Name(i));
        const ChunkReference* reference = Find(name);
        const std::wstring path = gameDir + name;
        if (status != 200 || reference == nullptr || (item.length != 0 && !FileExists(path))) {
            rest.AddFrom(items, i);
            continue;
        }
        ChunkedFileJob job;
        job.name = name;
        job.path = path;
        job.expectedMd5 = item.md5;
        job.baseUrl = baseUrl;
        job.reference = *reference;
        ChunkedFileInstall install(job);
        install.onBytes = callbacks.bytes;
        // The file's whole range leaves the batch's total, what its chunks cost enters it.
        const int64_t whole = static_cast<uint32_t>(item.length);
        bool planned = false;
        install.onPlanned = [&callbacks, &planned, whole](int64_t bytes) {
            planned = true;
            callbacks.planned(bytes - whole);
        };
        {
            std::lock_guard<std::mutex> guard(currentLock_);
            current_ = &install;
        }
        ChunkedFileOutcome outcome;
        const bool ok = !stopped_ && install.Run(&outcome);
        {
            std::lock_guard<std::mutex> guard(currentLock_);
            current_ = nullptr;
        }
        if (ok) {
            callbacks.installed(name, outcome.fileSize, outcome.writeTime, item.md5);
            continue;
        }
        if (stopped_) {
            status = -2;
        } else if (item.length != 0) {
            LogEvent("chunked_fallback", {{"name", name}, {"status", outcome.status}});
            if (planned) callbacks.planned(whole);  // the chunks' bytes stay counted
            rest.AddFrom(items, i);
        } else {
            status = outcome.status == 200 ? -3 : outcome.status;
        }
    }
    callbacks.done(rest, status);
    // A part started from inside done is running now, not this one.
    if (runs_ == run) running_ = false;
}
