#include "PublishableName.h"

#include <set>

#include "app/TextConvert.h"
#include "resources/ConfigNameCollisions.h"
#include "resources/FileSystemCase.h"
#include "resources/ManifestName.h"

namespace {

// The file system's folding, as the launcher's name check applies it.
std::wstring UpperCase(const std::wstring& text) {
    return FileSystemUpperCase(text);
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f';
}

}  // namespace

bool IsPublishableName(const std::wstring& name, bool launcherFile, std::wstring* reason) {
    if (!IsSafeManifestName(name)) {
        *reason =
            L"the launcher refuses this name (it could reach outside its folder, or a part ends "
            L"in a dot or a blank, which Windows strips)";
        return false;
    }
    if (name.find_first_of(L"=\r\n/") != std::wstring::npos) {
        *reason =
            L"the name holds \"=\", \"/\" or a line break, which a configuration line "
            L"cannot carry";
        return false;
    }
    if (IsBlank(name.front()) || IsBlank(name.back())) {
        *reason = L"the name starts or ends with white space, which a configuration line drops";
        return false;
    }
    if (NarrowToText(TextToNarrow(name)) != name) {
        *reason = L"the name holds characters the ANSI code page cannot represent";
        return false;
    }
    if (launcherFile) {
        const std::wstring upper = UpperCase(name);
        if (upper == L"VERSION.TXT" || upper == L"LAUNCHER_MANIFEST.TXT" ||
            upper == L"LAUNCHER.TMP" || upper.compare(0, 5, L"GAME\\") == 0) {
            *reason =
                L"a launcher file may not replace the installation's own files or enter "
                L"its \"game\\\" folder";
            return false;
        }
    }
    return true;
}

bool CheckPublishableSet(const std::vector<SourceFile>& files, bool launcherFiles,
                         std::wstring* error) {
    std::set<std::wstring> seen;
    for (const SourceFile& file : files) {
        std::wstring reason;
        if (!IsPublishableName(file.name, launcherFiles, &reason)) {
            *error = file.path + L": " + reason;
            return false;
        }
        if (!seen.insert(UpperCase(file.name)).second) {
            *error = file.path + L": another file has the same name except for case";
            return false;
        }
    }
    for (const std::wstring& upper : seen) {
        if (upper.size() > 2 && upper.compare(upper.size() - 2, 2, L".T") == 0 &&
            seen.count(upper.substr(0, upper.size() - 2)) != 0) {
            *error = upper + L": this name is the temporary download name of another file";
            return false;
        }
    }
    // Whatever else the launcher would refuse as naming one file twice, or a file of its own.
    ResoureConfigList list;
    for (const SourceFile& file : files) {
        ResoureConfigInfo info;
        info.name = file.name;
        if (launcherFiles) info.category = L"launcher";
        list.push_back(info);
    }
    if (HasCollidingNames(list)) {
        *error =
            L"two names meet on one file, a file is also the folder of another, or a launcher "
            L"file takes a name the launcher keeps for itself (\"version.txt.new\", "
            L"\"version.stamps\", \"release_serial.txt\", \"game\")";
        return false;
    }
    return true;
}
