#include "resources/AcceptedSerial.h"

#include <windows.h>

#include "app/FileServices.h"
#include "resources/SignedConfig.h"

const wchar_t kAcceptedSerialFileName[] = L"release_serial.txt";

AcceptedRelease ReadAcceptedSerial(const std::wstring& path) {
    AcceptedRelease accepted;
    std::string text;
    if (!FileExists(path) || !ReadFileBytes(path, &text)) return accepted;
    const std::string serial = KeyValueOf(text, "serial");
    if (serial.empty() || serial.size() > 18) return accepted;
    uint64_t value = 0;
    for (char c : serial) {
        if (c < '0' || c > '9') return accepted;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    accepted.serial = value;
    accepted.release = KeyValueOf(text, "release");
    return accepted;
}

bool WriteAcceptedSerial(const std::wstring& path, const AcceptedRelease& accepted) {
    const std::string text =
        "release=" + accepted.release + "\r\nserial=" + std::to_string(accepted.serial) + "\r\n";
    return WriteFileBeside(path, text);
}
