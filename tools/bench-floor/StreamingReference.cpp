#include "StreamingReference.h"

#include <psapi.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "ReferenceFetch.h"

namespace {

struct Record {
    uint32_t nameAt = 0;
    uint32_t nameLength = 0;
    uint32_t package = 0;
    int32_t length = 0;
    int64_t offset = 0;
};

// The configuration's records, parsed line by line as the body arrives (the tool's form:
// name=md5=packageDir=offset=length[=...]; the records end at a blank line).
class RecordParser {
  public:
    bool Feed(const char* data, size_t size) {
        for (size_t i = 0; i < size && !ended_; ++i) {
            if (data[i] != '\r' && data[i] != '\n') {
                line_.push_back(data[i]);
            } else if (!line_.empty()) {
                Line();
                line_.clear();
            }
        }
        return true;
    }
    void Finish() {
        if (!line_.empty() && !ended_) Line();
    }

    std::wstring names;
    std::vector<Record> records;
    std::vector<std::wstring> packages;

  private:
    void Line() {
        if (line_.find_first_not_of(" \t") == std::string::npos) {
            ended_ = true;
            return;
        }
        size_t cut[5];
        size_t fields = 0;
        for (size_t at = 0; at < line_.size() && fields < 5; ++at) {
            if (line_[at] == '=') cut[fields++] = at;
        }
        if (fields < 4) return;
        const size_t lengthEnd = fields == 5 ? cut[4] : line_.size();
        Record record;
        record.nameAt = static_cast<uint32_t>(names.size());
        const int wide =
            ::MultiByteToWideChar(CP_UTF8, 0, line_.data(), static_cast<int>(cut[0]), nullptr, 0);
        names.resize(names.size() + static_cast<size_t>(wide));
        ::MultiByteToWideChar(CP_UTF8, 0, line_.data(), static_cast<int>(cut[0]),
                              &names[record.nameAt], wide);
        record.nameLength = static_cast<uint32_t>(wide);
        const std::string package = line_.substr(cut[1] + 1, cut[2] - cut[1] - 1);
        const auto found = packageIndex_.find(package);
        if (found != packageIndex_.end()) {
            record.package = found->second;
        } else {
            record.package = static_cast<uint32_t>(packages.size());
            packages.emplace_back(package.begin(), package.end());
            packageIndex_.emplace(package, record.package);
        }
        record.offset = std::strtoll(line_.c_str() + cut[2] + 1, nullptr, 10);
        record.length = static_cast<int32_t>(
            std::strtol(line_.substr(cut[3] + 1, lengthEnd - cut[3] - 1).c_str(), nullptr, 10));
        records.push_back(record);
    }

    std::string line_;
    bool ended_ = false;
    std::map<std::string, uint32_t> packageIndex_;
};

struct Request {
    uint32_t package = 0;
    int64_t start = 0;
    int64_t length = 0;
    size_t first = 0;  // into the order of records
    size_t count = 0;
};

// Inflates one request's ranges as its bytes arrive, each straight into its file.
class RangeWriter {
  public:
    RangeWriter(z_stream* z, std::vector<char>* out, const RecordParser& list,
                const std::vector<uint32_t>& order, const Request& request,
                const std::wstring& target)
        : z_(z), out_(out), list_(list), order_(order), request_(request), target_(target) {}
    ~RangeWriter() {
        if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    }

    bool Feed(const char* data, size_t size) {
        while (size > 0 && ok_) {
            if (next_ >= request_.count) return false;  // more bytes than the ranges hold
            const Record& record = list_.records[order_[request_.first + next_]];
            if (left_ == 0) Start(record);
            const size_t take = static_cast<size_t>(std::min<int64_t>(left_, size));
            Inflate(data, take);
            data += take;
            size -= take;
            left_ -= take;
            if (left_ == 0) End();
        }
        return ok_;
    }
    int failures() const { return failures_; }

  private:
    void Start(const Record& record) {
        inflateReset(z_);
        left_ = record.length;
        result_ = Z_OK;
        const std::wstring path = target_ + list_.names.substr(record.nameAt, record.nameLength);
        file_ = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) ++failures_;
    }
    void Inflate(const char* data, size_t size) {
        z_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        z_->avail_in = static_cast<uInt>(size);
        while (z_->avail_in > 0 && result_ == Z_OK) {
            z_->next_out = reinterpret_cast<Bytef*>(out_->data());
            z_->avail_out = static_cast<uInt>(out_->size());
            result_ = inflate(z_, Z_NO_FLUSH);
            const DWORD produced = static_cast<DWORD>(out_->size() - z_->avail_out);
            DWORD written = 0;
            if (file_ != INVALID_HANDLE_VALUE && produced > 0 &&
                (!::WriteFile(file_, out_->data(), produced, &written, nullptr) ||
                 written != produced)) {
                ++failures_;
                ::CloseHandle(file_);
                file_ = INVALID_HANDLE_VALUE;
            }
        }
    }
    void End() {
        if (result_ != Z_STREAM_END) ++failures_;
        if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        ++next_;
    }

    z_stream* z_;
    std::vector<char>* out_;
    const RecordParser& list_;
    const std::vector<uint32_t>& order_;
    const Request& request_;
    const std::wstring& target_;
    size_t next_ = 0;
    int64_t left_ = 0;
    int result_ = Z_OK;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool ok_ = true;
    int failures_ = 0;
};

}  // namespace

int RunStreaming(HINTERNET session, const std::wstring& config, const std::wstring& base,
                 const std::wstring& target, ULONGLONG started) {
    RecordParser list;
    if (!FetchInto(session, config, 0, 0,
                   [&list](const char* data, size_t size) { return list.Feed(data, size); })) {
        std::fprintf(stderr, "no configuration\n");
        return 1;
    }
    list.Finish();

    // Adjacent ranges of one package, joined up to 10 MiB, as the whole-body reference does.
    std::vector<uint32_t> order(list.records.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i);
    std::sort(order.begin(), order.end(), [&list](uint32_t a, uint32_t b) {
        const Record& x = list.records[a];
        const Record& y = list.records[b];
        const std::wstring& px = list.packages[x.package];
        const std::wstring& py = list.packages[y.package];
        return px != py ? px < py : x.offset < y.offset;
    });
    std::vector<Request> requests;
    for (size_t k = 0; k < order.size(); ++k) {
        const Record& record = list.records[order[k]];
        Request* last = requests.empty() ? nullptr : &requests.back();
        if (last != nullptr && last->package == record.package &&
            last->start + last->length == record.offset && last->length < 10485760) {
            last->length += record.length;
            ++last->count;
        } else {
            requests.push_back(Request{record.package, record.offset, record.length, k, 1});
        }
    }

    // Every folder once, before the downloads.
    std::set<std::wstring> folders;
    for (const Record& record : list.records) {
        const std::wstring path = target + list.names.substr(record.nameAt, record.nameLength);
        for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
             slash = path.find(L'\\', slash + 1)) {
            if (folders.insert(path.substr(0, slash)).second) {
                ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
            }
        }
    }
    std::set<std::wstring>().swap(folders);

    std::atomic<size_t> next{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w) {
        workers.emplace_back([&] {
            z_stream z{};
            inflateInit2(&z, 15 + 16);
            std::vector<char> out(64 * 1024);
            for (size_t i = next++; i < requests.size(); i = next++) {
                const Request& request = requests[i];
                RangeWriter writer(&z, &out, list, order, request, target);
                const std::wstring url = base + list.packages[request.package] + L"/qz_game.qzpkg";
                if (!FetchInto(session, url, request.start, request.length,
                               [&writer](const char* data, size_t size) {
                                   return writer.Feed(data, size);
                               })) {
                    ++failures;
                }
                failures += writer.failures();
            }
            inflateEnd(&z);
        });
    }
    for (std::thread& worker : workers) worker.join();
    ::InternetCloseHandle(session);

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    std::printf("files %zu requests %zu failures %d\nelapsed_ms %llu\npeak_working_set %llu\n",
                list.records.size(), requests.size(), failures.load(),
                static_cast<unsigned long long>(::GetTickCount64() - started),
                static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    return failures.load() == 0 ? 0 : 1;
}
