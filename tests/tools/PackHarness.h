// Running the package tool on trees of the tests, and whole trees read back for comparison.
#pragma once

#include <map>
#include <string>

#include "../resources/UpdateHarness.h"

namespace pack_harness {

inline int Pack(const std::wstring& arguments) {
    return update_harness::RunProgram(L"OmbrixPack.exe", arguments);
}

// A path as one argument (without a trailing "\", which would escape the closing quote).
inline std::wstring Quote(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return L"\"" + path + L"\"";
}

// Every file below dir: relative name -> content.
inline void SnapshotInto(const std::wstring& dir, const std::wstring& prefix,
                         update_harness::Files* files) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring entry = data.cFileName;
        if (entry == L"." || entry == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            SnapshotInto(dir + entry + L"\\", prefix + entry + L"\\", files);
        } else {
            (*files)[prefix + entry] = testing_tree::Read(dir + entry);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

inline update_harness::Files Snapshot(const std::wstring& dir) {
    update_harness::Files files;
    SnapshotInto(dir, L"", &files);
    return files;
}

// Publishes game as release NAME of the tree (a fresh source folder each time).
inline int PublishRelease(const std::wstring& tree, const std::wstring& release,
                          const update_harness::Files& game) {
    testing_tree::TempFolder source;
    update_harness::WriteTree(source.path(), game);
    return Pack(L"--game " + Quote(source.path()) + L" --cdn " + Quote(tree) + L" --release " +
                release + L" --package-mib 1");
}

}  // namespace pack_harness
