#include "WindowScan.h"

#include <vector>

namespace {

const int kProgressBarId = 1004;
const int kStatusLabelId = 1006;
const int kFirstButtonId = 1008;
const int kSecondButtonId = 1009;
const int kMessageLabelId = 1010;

struct ProcessWindows {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
    auto* found = reinterpret_cast<ProcessWindows*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (owner == found->processId) found->windows.push_back(hwnd);
    return TRUE;
}

// Window text as the window manager keeps it; no message is sent, so a busy window thread
// never blocks the watcher.
std::wstring TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    const int n = ::GetWindowTextW(hwnd, text, 1024);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[128] = {};
    const int n = ::GetClassNameW(hwnd, name, 128);
    return std::wstring(name, n > 0 ? n : 0);
}

bool IsClass(HWND hwnd, const wchar_t* name) {
    return ::CompareStringOrdinal(ClassOf(hwnd).c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

// A direct child with the given control id (dialog controls are direct children).
HWND Control(HWND dialog, int id) {
    HWND child = ::GetDlgItem(dialog, id);
    return (child != nullptr && ::GetParent(child) == dialog) ? child : nullptr;
}

long Area(const RECT& r) {
    return static_cast<long>(r.right - r.left) * static_cast<long>(r.bottom - r.top);
}

}  // namespace

LauncherView ScanLauncher(DWORD processId) {
    ProcessWindows found{processId, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&found));
    // Content dialogs may be children of their frames: look at every descendant too.
    std::vector<HWND> all = found.windows;
    for (HWND top : found.windows)
        ::EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&all));

    LauncherView view;
    long largest = 0;
    for (HWND top : found.windows) {
        if (!::IsWindowVisible(top)) continue;
        RECT rect{};
        ::GetWindowRect(top, &rect);
        if (Area(rect) > largest) {
            largest = Area(rect);
            view.groupRect = rect;
        }
    }
    for (HWND hwnd : all) {
        HWND progress = Control(hwnd, kProgressBarId);
        HWND status = Control(hwnd, kStatusLabelId);
        if (progress != nullptr && status != nullptr) {
            view.hasMainWindow = true;
            view.status = TextOf(status);
            continue;
        }
        HWND label = Control(hwnd, kMessageLabelId);
        HWND first = Control(hwnd, kFirstButtonId);
        if (label == nullptr || first == nullptr || !IsClass(label, L"Static") ||
            !::IsWindowVisible(hwnd) || view.questionBox != nullptr) {
            continue;
        }
        view.questionBox = hwnd;
        view.questionText = TextOf(label);
        view.firstButton = TextOf(first);
        HWND second = Control(hwnd, kSecondButtonId);
        if (second != nullptr && ::IsWindowVisible(second)) view.secondButton = TextOf(second);
    }
    return view;
}

bool PressAnswer(HWND questionBox, int answer) {
    if (!::IsWindow(questionBox)) return false;
    HWND button = Control(questionBox, answer == 1 ? kFirstButtonId : kSecondButtonId);
    if (button == nullptr) return false;
    // The button runs its own press and release, then tells the box it was clicked.
    return ::PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

HWND FindWindowOfClass(const wchar_t* className, DWORD* processId) {
    HWND hwnd = ::FindWindowW(className, nullptr);
    if (hwnd == nullptr || !::IsWindowVisible(hwnd)) return nullptr;
    ::GetWindowThreadProcessId(hwnd, processId);
    return hwnd;
}
