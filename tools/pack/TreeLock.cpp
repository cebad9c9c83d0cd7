#include "TreeLock.h"

#include <windows.h>

#include "CdnTree.h"
#include "app/TextConvert.h"

const wchar_t kTreeLockName[] = L"tree.lock";

namespace {

const DWORD kMaxHolderBytes = 4096;

std::string ReadSome(HANDLE file) {
    std::string bytes(kMaxHolderBytes, '\0');
    DWORD got = 0;
    if (!::ReadFile(file, &bytes[0], kMaxHolderBytes, &got, nullptr)) got = 0;
    bytes.resize(got);
    return bytes;
}

// "process=12, since=..., run=publish r3": the lock file as one line for a message.
std::wstring Describe(const std::string& bytes) {
    std::wstring text = Utf8ToTextExact(bytes);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\n') {
            line += L", ";
        } else if (c != L'\r') {
            line.push_back(c);
        }
    }
    return line;
}

// Who holds the tree, read beside the holder (which shares reading).
std::wstring ReadHolder(const std::wstring& path) {
    ombrix::ScopedFileHandle file(::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, 0, nullptr));
    if (!file) return std::wstring();
    return Describe(ReadSome(file.Get()));
}

}  // namespace

bool TreeLock::Acquire(const std::wstring& root, const std::wstring& run, std::wstring* error) {
    const std::wstring path = root + kTreeLockName;
    DWORD code = 0;
    // A lock file whose holder has just closed it can stay "delete pending" for a moment while
    // a refused run reads it: then opening it is denied; a few short tries pass that moment.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const HANDLE file =
            ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        code = ::GetLastError();
        file_.Reset(file);
        if (file_ || code != ERROR_ACCESS_DENIED ||
            ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            break;
        }
        ::Sleep(40);
    }
    if (!file_) {
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
            const std::wstring holder = ReadHolder(path);
            *error = L"the tree " + root + L" is in use by another run of the package tool" +
                     (holder.empty() ? std::wstring() : L" (" + holder + L")") +
                     L"; nothing was done: try again when it has ended";
        } else {
            *error =
                path + L": cannot create the tree's lock (error " + std::to_wstring(code) + L")";
        }
        return false;
    }
    takenOver_.clear();
    if (code == ERROR_ALREADY_EXISTS) {
        // Nobody holds it (else the open had failed): the run that wrote it is gone.
        takenOver_ = Describe(ReadSome(file_.Get()));
        if (takenOver_.empty()) takenOver_ = L"an empty lock file";
        ::SetFilePointer(file_.Get(), 0, nullptr, FILE_BEGIN);
        ::SetEndOfFile(file_.Get());
    }
    const std::string text =
        TextToUtf8Exact(L"process=" + std::to_wstring(::GetCurrentProcessId()) + L"\r\nsince=" +
                        UtcNowText() + L"\r\nrun=" + run + L"\r\n");
    DWORD written = 0;
    ::WriteFile(file_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return true;
}
