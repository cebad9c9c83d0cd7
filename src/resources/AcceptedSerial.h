// The highest configuration serial this installation accepted, kept in the installation root
// ("release_serial.txt": release=NAME and serial=N, one a line). A missing or damaged file reads
// as serial 0: a lost store lowers the protection to the signature alone and never blocks play.
#pragma once

#include <cstdint>
#include <string>

extern const wchar_t kAcceptedSerialFileName[];

struct AcceptedRelease {
    std::string release;
    uint64_t serial = 0;
};

AcceptedRelease ReadAcceptedSerial(const std::wstring& path);
// Written beside and renamed into place, so a torn write never leaves a lower serial behind.
bool WriteAcceptedSerial(const std::wstring& path, const AcceptedRelease& accepted);
