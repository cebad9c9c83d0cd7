// Stand-in for the game executable "vemo_game.exe".
//
// It writes how it was started to a UTF-8 file: the first line is its full command line, the
// second its working directory. The file is %VEMO_GAME_RECORD% when that variable is set,
// otherwise "vemo_game_started.txt" next to the executable. Then it shows a small window saying
// that it was started, until that window is closed; with VEMO_GAME_EXIT=1 it ends at once.
// With VEMO_GAME_HOLD=PATH it keeps that file open while it runs, sharing it for reading only,
// as a running program holds its files: nobody can then replace, rename or delete it.
#include <windows.h>

#include <string>

namespace {

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(value, n) : std::wstring();
}

std::wstring RecordPath() {
    std::wstring path = EnvironmentValue(L"VEMO_GAME_RECORD");
    if (!path.empty()) return path;
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    path = module;
    return path.substr(0, path.rfind(L'\\') + 1) + L"vemo_game_started.txt";
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n,
                          nullptr, nullptr);
    return bytes;
}

void Record(const std::wstring& commandLine, const std::wstring& workingDir) {
    // Written to a temporary name and then moved, so a reader never sees half a record.
    const std::wstring path = RecordPath();
    const std::wstring temp = path + L".part";
    const std::string bytes = ToUtf8(commandLine) + "\r\n" + ToUtf8(workingDir) + "\r\n";
    HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    const bool ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    ::CloseHandle(file);
    if (ok) ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::wstring g_text;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(hwnd, &paint);
            RECT area;
            ::GetClientRect(hwnd, &area);
            ::InflateRect(&area, -12, -12);
            ::SetBkMode(dc, TRANSPARENT);
            ::DrawTextW(dc, g_text.c_str(), -1, &area, DT_LEFT | DT_WORDBREAK);
            ::EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const std::wstring commandLine = ::GetCommandLineW();
    wchar_t workingDir[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, workingDir);
    const std::wstring hold = EnvironmentValue(L"VEMO_GAME_HOLD");
    HANDLE held = hold.empty() ? INVALID_HANDLE_VALUE
                               : ::CreateFileW(hold.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    Record(commandLine, workingDir);
    if (EnvironmentValue(L"VEMO_GAME_EXIT") == L"1") return 0;

    g_text = L"vemo_game (stand-in) was started.\r\n\r\nCommand line:\r\n" + commandLine +
             L"\r\n\r\nWorking directory:\r\n" + workingDir;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"OmbrixVemoGameStandIn";
    ::RegisterClassW(&windowClass);
    HWND window =
        ::CreateWindowW(windowClass.lpszClassName, L"vemo_game", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 640, 320, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    ::ShowWindow(window, show);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    return 0;
}
