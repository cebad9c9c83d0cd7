// The reference's least-memory variant (FloorReference --stream): the same requests and files
// as the whole-body reference, with nothing held per file but a compact record, and no body
// held at all.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

// Installs the configuration at config into target (ends with "\"), packages found below base
// (ends with "/"); prints the reference's figures. Returns the process's exit code.
int RunStreaming(HINTERNET session, const std::wstring& config, const std::wstring& base,
                 const std::wstring& target, ULONGLONG started);
