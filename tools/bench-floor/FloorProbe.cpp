// FloorProbe: what this platform charges per file, with nothing else in the process.
//   FloorProbe write DIR COUNT [BYTES]   creates COUNT files of BYTES bytes (default 2048) below
//                                        DIR, at most 500 a folder (d000\f000000.dat, ...): one
//                                        create, write and close each, folders made once
//   FloorProbe read DIR [--md5]          lists every folder below DIR once and opens, reads
//                                        (64 KiB at a time) and closes every file in it; with
//                                        --md5 each file's bytes are digested too
// Prints files, bytes, elapsed_ms, us_per_file and peak_working_set (bytes). Nothing is kept
// per file: what the peak grows by with the count is the platform's own cost.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Crypto.h"

namespace {

const int kPerFolder = 500;

struct Totals {
    unsigned long long files = 0;
    unsigned long long bytes = 0;
    bool ok = true;
};

void Write(const std::wstring& root, int count, size_t size, Totals* totals) {
    std::vector<char> data(size);
    unsigned seed = 12345;
    for (char& c : data) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    ::CreateDirectoryW(root.c_str(), nullptr);
    const int folders = (count + kPerFolder - 1) / kPerFolder;
    wchar_t name[64];
    for (int i = 0; i < count; ++i) {
        std::swprintf(name, 64, L"d%03d", i % folders);
        const std::wstring folder = root + name;
        if (i < folders) ::CreateDirectoryW(folder.c_str(), nullptr);
        std::swprintf(name, 64, L"\\f%06d.dat", i);
        HANDLE file = ::CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE) {
            totals->ok = false;
            continue;
        }
        if (!::WriteFile(file, data.data(), static_cast<DWORD>(size), &written, nullptr) ||
            written != size) {
            totals->ok = false;
        }
        ::CloseHandle(file);
        ++totals->files;
        totals->bytes += written;
    }
}

void Read(const std::wstring& dir, bool digest, std::vector<char>* buffer, Totals* totals) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring entry = data.cFileName;
        if (entry == L"." || entry == L"..") continue;
        const std::wstring path = dir + entry;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Read(path + L"\\", digest, buffer, totals);
            continue;
        }
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            totals->ok = false;
            continue;
        }
        Md5Hasher md5;
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(file, buffer->data(), static_cast<DWORD>(buffer->size()), &got,
                            nullptr)) {
                totals->ok = false;
                break;
            }
            if (got == 0) break;
            if (digest) md5.Update(buffer->data(), got);
            totals->bytes += got;
        }
        if (digest && md5.Finish().size() != 16) totals->ok = false;
        ::CloseHandle(file);
        ++totals->files;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (argc < 3 || (mode == L"write" && argc < 4) || (mode != L"write" && mode != L"read")) {
        std::fprintf(stderr,
                     "usage: FloorProbe write DIR COUNT [BYTES] | FloorProbe read DIR [--md5]\n");
        return 2;
    }
    std::wstring dir = argv[2];
    if (dir.back() != L'\\') dir.push_back(L'\\');
    const ULONGLONG started = ::GetTickCount64();
    Totals totals;
    if (mode == L"write") {
        const size_t bytes =
            argc > 4 ? static_cast<size_t>(std::wcstoul(argv[4], nullptr, 10)) : 2048;
        Write(dir, std::wcstol(argv[3], nullptr, 10), bytes, &totals);
    } else {
        std::vector<char> buffer(64 * 1024);
        Read(dir, argc > 3 && std::wstring(argv[3]) == L"--md5", &buffer, &totals);
    }
    const ULONGLONG elapsed = ::GetTickCount64() - started;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
    std::printf(
        "files %llu\nbytes %llu\nelapsed_ms %llu\nus_per_file %.1f\npeak_working_set %llu\n",
        totals.files, totals.bytes, static_cast<unsigned long long>(elapsed),
        totals.files == 0 ? 0.0 : elapsed * 1000.0 / static_cast<double>(totals.files),
        static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    return totals.ok ? 0 : 1;
}
