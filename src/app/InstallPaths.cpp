#include "app/InstallPaths.h"

#include <windows.h>
#include <shlobj.h>

#include "app/FileServices.h"
#include "app/TextConvert.h"

namespace {

const wchar_t kDataFolderPart[] = L"\\VEMO_PC\\Ombrix\\";
const wchar_t kInstallFolderPart[] = L"VEMO\\Ombrix\\";
const wchar_t kGameRootFile[] = L"game_root.txt";

std::wstring RoamingAppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return {};
    }
    return path;
}

bool IsDirectoryOnFixedDrive(const std::wstring& path) {
    // The drive type is asked for the directory itself, so a volume mounted into a folder of a
    // fixed drive is judged by what it really is.
    return DirectoryExists(path) && ::GetDriveTypeW(path.c_str()) == DRIVE_FIXED;
}

}  // namespace

InstallProbes MachineInstallProbes() {
    InstallProbes probes;
    probes.isWritableDirectory = [](const std::wstring& dir) { return IsWritableDirectory(dir); };
    probes.findLargestFreeDrive = [](std::wstring* root) { return FindLargestFreeDrive(root); };
    probes.isFixedDirectory = IsDirectoryOnFixedDrive;
    probes.readFile = [](const std::wstring& path, std::string* bytes) {
        return FileExists(path) && ReadFileBytes(path, bytes);
    };
    probes.writeFile = [](const std::wstring& path, const std::string& bytes) {
        return WriteFileBytes(path.c_str(), bytes);
    };
    return probes;
}

std::wstring ResolveLauncherDataDir(const std::wstring& appDataFolder,
                                    const InstallProbes& probes) {
    const std::wstring dir = appDataFolder + kDataFolderPart;
    if (probes.isWritableDirectory(dir)) return dir;
    std::wstring root;
    if (probes.findLargestFreeDrive(&root) && !root.empty()) {
        if (root.back() == L'\\') root.pop_back();  // D:\ becomes D:
        return root + kDataFolderPart;
    }
    return dir;
}

std::wstring ResolveGameRoot(const std::wstring& dataDir, const InstallProbes& probes) {
    const std::wstring file = dataDir + kGameRootFile;
    std::string bytes;
    if (probes.readFile(file, &bytes)) {
        std::wstring remembered = NarrowToText(bytes);
        // A zero byte would cut the path wherever it is used as a C string: not a usable root.
        if (!remembered.empty() && remembered.find(L'\0') == std::wstring::npos &&
            probes.isFixedDirectory(remembered)) {
            // Every caller appends names to the root; a hand-edited root without the final
            // backslash would otherwise glue them to the folder name.
            if (remembered.back() != L'\\') remembered.push_back(L'\\');
            return remembered;
        }
    }
    std::wstring base;
    if (!probes.findLargestFreeDrive(&base) || base.empty()) base = dataDir;
    const std::wstring root = base + kInstallFolderPart;
    probes.writeFile(file, TextToNarrow(root));  // a failure is seen again on the next call
    return root;
}

std::wstring GetLauncherDataDir() {
    return ResolveLauncherDataDir(RoamingAppDataFolder(), MachineInstallProbes());
}

std::wstring GetGameRoot() {
    return ResolveGameRoot(GetLauncherDataDir(), MachineInstallProbes());
}
