// Reads back the target of a shell link, as the shell would.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>

#include "framework/ScopedHandle.h"

inline std::wstring ReadShortcutTarget(const std::wstring& linkPath) {
    ombrix::ScopedComInit com;
    ombrix::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.ReceiveVoid()))) {
        return {};
    }
    ombrix::ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid())) ||
        FAILED(file->Load(linkPath.c_str(), STGM_READ))) {
        return {};
    }
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return {};
    return target;
}
