#include "PublishableName.h"

#include <algorithm>
#include <cstdint>

#include "app/TextConvert.h"
#include "resources/ConfigNameCollisions.h"
#include "resources/FileSystemCase.h"
#include "resources/ManifestName.h"

namespace {

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
        const std::wstring upper = FileSystemUpperCase(name);
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
    return CheckPublishableNames(
        files.size(), [&files](size_t i) { return std::wstring_view(files[i].name); },
        [&files](size_t i) { return files[i].path; }, launcherFiles, error);
}

bool CheckPublishableNames(size_t count, const std::function<std::wstring_view(size_t)>& name,
                           const std::function<std::wstring(size_t)>& path, bool launcherFiles,
                           std::wstring* error) {
    for (size_t i = 0; i < count; ++i) {
        std::wstring reason;
        if (!IsPublishableName(std::wstring(name(i)), launcherFiles, &reason)) {
            *error = path(i) + L": " + reason;
            return false;
        }
    }
    // The file system's keys of all names in one text, folded a slice of whole names at a time
    // (one call to the system per slice, never a second copy of all names): the folding maps one
    // unit to one unit, so every key lies where its name does.
    std::wstring keys;
    std::vector<size_t> at(count + 1, 0);
    size_t folded = 0;
    for (size_t i = 0; i < count; ++i) {
        keys += name(i);
        at[i + 1] = keys.size();
        if (keys.size() - folded >= 65536 || i + 1 == count) {
            const std::wstring slice = FileSystemUpperCase(keys.substr(folded));
            keys.replace(folded, slice.size(), slice);
            folded = keys.size();
        }
    }
    const auto key = [&keys, &at](size_t i) {
        return std::wstring_view(keys).substr(at[i], at[i + 1] - at[i]);
    };
    std::vector<uint32_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = static_cast<uint32_t>(i);
    std::sort(order.begin(), order.end(), [&key](uint32_t a, uint32_t b) {
        const int c = key(a).compare(key(b));
        return c != 0 ? c < 0 : a < b;
    });
    const auto has = [&](std::wstring_view text) {
        const auto found =
            std::lower_bound(order.begin(), order.end(), text,
                             [&key](uint32_t i, std::wstring_view t) { return key(i) < t; });
        return found != order.end() && key(*found) == text;
    };
    for (size_t k = 1; k < order.size(); ++k) {
        if (key(order[k]) == key(order[k - 1])) {
            *error = path(order[k]) + L": another file has the same name except for case";
            return false;
        }
    }
    const auto isTemp = [](std::wstring_view text) {
        return text.size() > 2 && text.substr(text.size() - 2) == L".T";
    };
    for (uint32_t i : order) {
        if (isTemp(key(i)) && has(key(i).substr(0, key(i).size() - 2))) {
            *error = std::wstring(key(i)) +
                     L": this name is the temporary download name of another file";
            return false;
        }
    }
    // Every folder on the way to a file must not be a file (nor its temporary name); launcher
    // files also keep clear of the names the launcher keeps for itself (a set of a few files).
    bool meet = false;
    for (size_t k = 0; k < order.size() && !meet; ++k) {
        const std::wstring_view text = key(order[k]);
        for (size_t slash = text.find(L'\\'); slash != std::wstring_view::npos && !meet;
             slash = text.find(L'\\', slash + 1)) {
            const std::wstring_view folder = text.substr(0, slash);
            meet = has(folder) || (isTemp(folder) && has(folder.substr(0, folder.size() - 2)));
        }
    }
    if (!meet && launcherFiles) {
        ResoureConfigList list(count);
        for (size_t i = 0; i < count; ++i) {
            list[i].name = name(i);
            list[i].category = L"launcher";
        }
        meet = HasCollidingNames(list);
    }
    if (meet) {
        *error =
            L"two names meet on one file, a file is also the folder of another, or a launcher "
            L"file takes a name the launcher keeps for itself (\"version.txt.new\", "
            L"\"version.stamps\", \"release_serial.txt\", \"game\")";
        return false;
    }
    return true;
}
