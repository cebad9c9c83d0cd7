// OmbrixAnswer: waits for a question of the launcher and answers it with a click.
//
//   OmbrixAnswer.exe [--timeout MILLISECONDS] BUTTON [TEXT]
//
// BUTTON is 1 (the first button, e.g. "重试") or 2 (the second, e.g. "退出"). TEXT, when
// given, is a part of the question to wait for; questions without it are left alone. The
// question's full text is printed (UTF-8, one line) once it has been answered.
// Exit codes: 0 answered, 1 no such question within the time-out (default 30000 ms), 2 usage.
//
// A question is the content window of the skinned message box: a dialog whose control 1010
// is a static text and whose controls 1008 and 1009 are its buttons. The click is the same
// command the button sends when the player presses it.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int kFirstButton = 1008;
constexpr int kSecondButton = 1009;
constexpr int kMessageLabel = 1010;
constexpr DWORD kPollMilliseconds = 50;

struct Search {
    std::wstring fragment;
    HWND found = nullptr;
    std::wstring text;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM context) {
    Search& search = *reinterpret_cast<Search*>(context);
    if (!::IsWindowVisible(window)) return TRUE;
    const HWND label = ::GetDlgItem(window, kMessageLabel);
    if (label == nullptr || ::GetDlgItem(window, kFirstButton) == nullptr) return TRUE;
    if (_wcsicmp(ClassOf(label).c_str(), L"Static") != 0) return TRUE;
    const std::wstring text = TextOf(label);
    if (!search.fragment.empty() && text.find(search.fragment) == std::wstring::npos) return TRUE;
    search.found = window;
    search.text = text;
    return FALSE;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                          nullptr, nullptr);
    return out;
}

int Usage() {
    std::fputs("usage: OmbrixAnswer.exe [--timeout MILLISECONDS] 1|2 [TEXT]\n", stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    DWORD timeout = 30000;
    int arg = 1;
    if (arg + 1 < argc && std::wcscmp(argv[arg], L"--timeout") == 0) {
        timeout = static_cast<DWORD>(std::wcstoul(argv[arg + 1], nullptr, 10));
        arg += 2;
    }
    if (arg >= argc) return Usage();
    const std::wstring button = argv[arg++];
    if (button != L"1" && button != L"2") return Usage();
    const int buttonId = button == L"1" ? kFirstButton : kSecondButton;

    Search search;
    if (arg < argc) search.fragment = argv[arg];
    const DWORD start = ::GetTickCount();
    for (;;) {
        search.found = nullptr;
        ::EnumWindows(&VisitWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) break;
        if (::GetTickCount() - start >= timeout) return 1;
        ::Sleep(kPollMilliseconds);
    }
    ::PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(search.found, buttonId)));
    std::printf("%s\n", ToUtf8(search.text).c_str());
    return 0;
}
