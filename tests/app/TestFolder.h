// A fresh folder below the temp folder of the test prefix, removed with its contents at the end.
#pragma once

#include <windows.h>

#include <string>

class TestFolder {
  public:
    explicit TestFolder(const wchar_t* name) {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"ombrix_" + name + L"_" +
                std::to_wstring(::GetCurrentProcessId()) + L"\\";
        RemoveTree(path_);
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TestFolder() { RemoveTree(path_); }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // Ends with a backslash.
    const std::wstring& Path() const { return path_; }

    static void RemoveTree(const std::wstring& dir) {
        WIN32_FIND_DATAW data;
        const std::wstring base = dir.back() == L'\\' ? dir : dir + L"\\";
        HANDLE find = ::FindFirstFileW((base + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = base + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(child);
                } else {
                    ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileW(child.c_str());
                }
            } while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(base.c_str());
    }

  private:
    std::wstring path_;
};
