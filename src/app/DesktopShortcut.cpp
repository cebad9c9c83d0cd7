#include "app/DesktopShortcut.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include "framework/ScopedHandle.h"

std::wstring GetDesktopFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT,
                                  path))) {
        return {};
    }
    return path;
}

void CreateDesktopShortcut(const std::wstring& targetPath, const std::wstring& fileName) {
    ombrix::ScopedComInit com;
    if (!com.Succeeded()) return;
    ombrix::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.ReceiveVoid()))) {
        return;
    }
    if (FAILED(link->SetPath(targetPath.c_str()))) return;
    ombrix::ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid()))) return;
    const std::wstring desktop = GetDesktopFolder();
    if (desktop.empty()) return;
    const std::wstring linkPath = desktop + L"\\" + fileName;
    file->Save(linkPath.c_str(), FALSE);  // FALSE: the link does not adopt this file as its own
}
