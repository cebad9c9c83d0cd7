// FloorReference: the least work a fresh update needs, as the yardstick of the launcher's
// install path. Fetches the configuration, joins adjacent ranges of a package into requests of
// at most 10 MiB, fetches them with three WinINet threads (64 KiB reads, whole request in
// memory), and inflates each gzip range in memory straight into its file: one create, write
// and close per file, folders made once. No digests, no progress, no lists, no retries.
// With --stream, the least memory the same work needs: the configuration is parsed as it
// arrives into compact records (names in one block, package folders by index), and each
// request is inflated as it arrives straight into its files; no body is held.
//   FloorReference URL-OF-CONFIGURATION TARGET-DIR [--stream]
#include <windows.h>
#include <psapi.h>
#include <wininet.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ReferenceFetch.h"
#include "StreamingReference.h"
#include "resources/CDNConfigText.h"

namespace {

struct Request {
    std::wstring url;
    int64_t start = 0;
    int64_t length = 0;
    std::vector<ResoureConfigInfo> files;
};

bool Install(z_stream* z, std::vector<char>* out, const char* data, size_t size,
             const std::wstring& path) {
    inflateReset(z);
    z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z->avail_in = static_cast<uInt>(size);
    size_t used = 0;
    int result = Z_OK;
    while (result == Z_OK) {
        if (out->size() - used < 65536) out->resize(out->size() * 2);
        z->next_out = reinterpret_cast<Bytef*>(out->data() + used);
        z->avail_out = static_cast<uInt>(out->size() - used);
        result = inflate(z, Z_NO_FLUSH);
        used = out->size() - z->avail_out;
    }
    if (result != Z_STREAM_END) return false;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, out->data(), static_cast<DWORD>(used), &written, nullptr) &&
                    written == used;
    ::CloseHandle(file);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool streaming = argc == 4 && std::wstring(argv[3]) == L"--stream";
    if (argc != 3 && !streaming) {
        std::fprintf(stderr, "usage: FloorReference URL-OF-CONFIGURATION TARGET-DIR [--stream]\n");
        return 2;
    }
    const ULONGLONG started = ::GetTickCount64();
    const std::wstring config = argv[1];
    std::wstring target = argv[2];
    if (target.back() != L'\\') target.push_back(L'\\');
    std::wstring base = config;
    for (int cut = 0; cut < 2; ++cut) base.erase(base.rfind(L'/'));
    base += L"/";

    HINTERNET session =
        ::InternetOpenW(L"FloorReference", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (streaming) return RunStreaming(session, config, base, target, started);
    std::string text;
    ResoureConfigList list;
    if (!Fetch(session, config, 0, 0, &text) ||
        ParseCDNConfigText(text, &list) != CDNDownloadSuccess) {
        std::fprintf(stderr, "no configuration\n");
        return 1;
    }

    // Adjacent ranges of one package, joined up to 10 MiB.
    std::map<std::wstring, std::map<int64_t, ResoureConfigInfo>> byPackage;
    for (const ResoureConfigInfo& info : list) byPackage[info.packageDir][info.offset] = info;
    std::vector<Request> requests;
    for (const auto& package : byPackage) {
        for (const auto& entry : package.second) {
            const ResoureConfigInfo& info = entry.second;
            Request* last = requests.empty() ? nullptr : &requests.back();
            if (last != nullptr && last->url == base + package.first + L"/qz_game.qzpkg" &&
                last->start + last->length == info.offset && last->length < 10485760) {
                last->length += info.length;
            } else {
                requests.push_back(Request());
                requests.back().url = base + package.first + L"/qz_game.qzpkg";
                requests.back().start = info.offset;
                requests.back().length = info.length;
            }
            requests.back().files.push_back(info);
        }
    }

    // Every folder once, before the downloads.
    std::set<std::wstring> folders;
    for (const ResoureConfigInfo& info : list) {
        const std::wstring path = target + info.name;
        for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
             slash = path.find(L'\\', slash + 1)) {
            if (folders.insert(path.substr(0, slash)).second) {
                ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
            }
        }
    }

    std::atomic<size_t> next{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w) {
        workers.emplace_back([&] {
            z_stream z{};
            inflateInit2(&z, 15 + 16);
            std::vector<char> out(1 << 20);
            for (size_t i = next++; i < requests.size(); i = next++) {
                const Request& request = requests[i];
                std::string body;
                if (!Fetch(session, request.url, request.start, request.length, &body)) {
                    ++failures;
                    continue;
                }
                for (const ResoureConfigInfo& info : request.files) {
                    if (!Install(&z, &out, body.data() + (info.offset - request.start),
                                 static_cast<size_t>(info.length), target + info.name)) {
                        ++failures;
                    }
                }
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
                list.size(), requests.size(), failures.load(),
                static_cast<unsigned long long>(::GetTickCount64() - started),
                static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    return failures.load() == 0 ? 0 : 1;
}
