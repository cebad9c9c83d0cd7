// The process's log file: one line per event (LogLine.h), appended from any thread. A file that
// grows past its limit is renamed to NAME.1.EXT (the older ones move on to NAME.2.EXT, ...; the
// oldest beyond the kept count goes) and a new one begins. Logging never fails the program: until
// a log is opened, and whenever the file cannot be written, events are dropped.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "app/LogLine.h"

constexpr uint64_t kLogLimitBytes = 1024 * 1024;
constexpr int kLogKeptFiles = 3;

// Appends the events of this process to path from now on (creating its folder); a log opened
// before is closed. false when the file cannot be opened: logging is then off.
bool OpenLog(const std::wstring& path, uint64_t limitBytes = kLogLimitBytes,
             int keptFiles = kLogKeptFiles);
void CloseLog();
bool IsLogOpen();

// Writes one event line, when a log is open.
void LogEvent(const char* event, std::initializer_list<LogField> fields = {});

// The path of the n-th older file of a log: "a\launcher.log", 2 -> "a\launcher.2.log".
std::wstring RotatedLogPath(const std::wstring& path, int n);
