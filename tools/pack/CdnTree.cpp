#include "CdnTree.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <set>

#include "app/FileServices.h"
#include "app/Sha256.h"
#include "app/TextConvert.h"
#include "framework/ScopedHandle.h"

const wchar_t kReleaseRecordName[] = L"releases.txt";

namespace {

const wchar_t kConfigSuffix[] = L".txt";
const wchar_t kPackageFile[] = L"qz_game.qzpkg";
const wchar_t kChunkListDir[] = L"chunks";  // the record of a file published in chunks only

bool IsAlnum(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// "0003" -> 3; 0 when the text is no package number.
int32_t PackageNumber(const std::wstring& text) {
    if (text.size() < 4 || text.size() > 9) return 0;
    int32_t n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return 0;
        n = n * 10 + (c - L'0');
    }
    return n;
}

// Names of the entries of a folder (files or folders).
std::vector<std::wstring> ListFolder(const std::wstring& dir, bool folders) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    ombrix::ScopedFindHandle find(::FindFirstFileW((dir + L"*").c_str(), &data));
    if (!find) return names;
    do {
        const std::wstring name = data.cFileName;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name != L"." && name != L".." && isFolder == folders) names.push_back(name);
    } while (::FindNextFileW(find.Get(), &data));
    return names;
}

int64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return -1;
    }
    return static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Parses the records of a configuration as the tool writes it
// (name=md5=pkg/NNNN=offset=length[=game|=launcher[=SHA-256]], CRLF, nothing trimmed) without
// the general parser's costs. False when a line has another form; the caller then uses the
// general parser, which reads what the launcher reads.
bool ParseCanonicalConfig(const std::wstring& text, ResoureConfigList* lines) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t eol = text.find(L"\r\n", pos);
        if (eol == std::wstring::npos || eol == pos) return false;
        size_t cut[7];
        size_t fields = 0;
        for (size_t at = pos; at < eol && fields < 7; ++at) {
            if (text[at] == L'=') cut[fields++] = at;
        }
        if (fields < 4 || fields > 6) return false;
        const size_t lengthEnd = fields == 4 ? eol : cut[4];
        std::wstring category;
        if (fields >= 5) {
            category.assign(text, cut[4] + 1, (fields == 6 ? cut[5] : eol) - cut[4] - 1);
            if (category != L"launcher" && category != L"game") return false;
        }
        ResoureConfigInfo info;
        if (fields == 6) {
            info.sha256.assign(text, cut[5] + 1, eol - cut[5] - 1);
            if (!IsSha256DigestText(info.sha256)) return false;
        }
        info.name.assign(text, pos, cut[0] - pos);
        info.md5.assign(text, cut[0] + 1, cut[1] - cut[0] - 1);
        info.packageDir.assign(text, cut[1] + 1, cut[2] - cut[1] - 1);
        int64_t numbers[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            const size_t from = cut[2 + k] + 1;
            const size_t to = k == 0 ? cut[3] : lengthEnd;
            if (to == from || to - from > 12) return false;
            for (size_t at = from; at < to; ++at) {
                if (text[at] < L'0' || text[at] > L'9') return false;
                numbers[k] = numbers[k] * 10 + (text[at] - L'0');
            }
        }
        if (info.name.empty() || info.md5.size() != 32 || numbers[1] > INT32_MAX ||
            iswspace(info.name.front()) || iswspace(info.name.back())) {
            return false;
        }
        info.offset = numbers[0];
        info.length = static_cast<int32_t>(numbers[1]);
        info.category = category;
        lines->push_back(std::move(info));
        pos = eol + 2;
    }
    return true;
}

bool ReadRecord(CdnTree* tree, std::vector<TreeRelease>* recorded, std::wstring* error) {
    const std::wstring path = tree->root + kReleaseRecordName;
    if (!FileExists(path)) return true;
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) {
        *error = path + L": cannot read the tree's record";
        return false;
    }
    ResoureConfigList lines;
    ParseManifestText(Utf8ToTextExact(bytes), &lines);
    for (const ResoureConfigInfo& line : lines) {
        if (line.name == L"packages") {
            tree->lastPackage = std::max(tree->lastPackage, PackageNumber(line.md5));
        } else if (line.name == L"release") {
            recorded->push_back(TreeRelease{line.md5, line.packageDir});
        }
    }
    return true;
}

// The lines of a configuration naming its chunk lists, and the packages those lists name.
bool ReadChunkLists(CdnTree* tree, const std::wstring& release, const ChunkReferences& chunked,
                    std::wstring* error) {
    std::string& lines = tree->chunkLines[release];
    std::set<std::wstring>& packages = tree->chunkPackages[release];
    for (const auto& item : chunked) {
        lines += FormatChunkReference(item.first, item.second);
        std::wstring path = tree->root + Utf8ToTextExact(item.second.listPath);
        std::replace(path.begin(), path.end(), L'/', L'\\');
        std::string text;
        ChunkList list;
        if (!ReadFileBytes(path, &text) || Sha256Digest(text) != item.second.listSha256 ||
            !ParseChunkList(text, &list)) {
            *error = L"the configuration of " + release + L" names the chunk list " + path +
                     L", which is missing or not what it says";
            return false;
        }
        for (const std::string& dir : list.packageDirs) packages.insert(Utf8ToTextExact(dir));
    }
    return true;
}

// Checks every line of one configuration against the packages it names.
bool CheckConfig(const CdnTree& tree, const std::wstring& release, const ResoureConfigList& lines,
                 std::wstring* error) {
    const std::wstring where = L"the configuration config\\" + ConfigFileOf(tree, release);
    const auto chunked = tree.chunkLines.find(release);
    for (const ResoureConfigInfo& line : lines) {
        // A file published in chunks only: its list was checked as it was read.
        if (line.length == 0 && line.packageDir == kChunkListDir &&
            chunked != tree.chunkLines.end())
            continue;
        const int32_t number = line.packageDir.compare(0, 4, L"pkg/") == 0
                                   ? PackageNumber(line.packageDir.substr(4))
                                   : 0;
        const auto found = tree.packages.find(number);
        if (number == 0 || found == tree.packages.end() || found->second.fileSize < 0) {
            *error = where + L" names the package " + line.packageDir +
                     L", which the tree does not hold";
            return false;
        }
        const TreePackage& package = found->second;
        if (!package.complete) {
            *error = where + L" names the package " + line.packageDir +
                     (package.damaged ? L", whose contents list is damaged"
                                      : L", which has no contents list");
            return false;
        }
        // The streams follow each other from offset 0: find the one starting at the offset.
        const auto stream = std::lower_bound(
            package.streams.begin(), package.streams.end(), line.offset,
            [](const StoredStream& s, int64_t offset) { return s.offset < offset; });
        const bool matches = stream != package.streams.end() && stream->offset == line.offset &&
                             stream->length == line.length && line.md5.size() == 32 &&
                             std::equal(line.md5.begin(), line.md5.end(), stream->Md5Hex().begin());
        if (!matches) {
            *error = where + L": " + line.name + L" does not match what the package " +
                     line.packageDir + L" holds";
            return false;
        }
    }
    return true;
}

// "pkg/0003" (or "pkg\\0003") wherever text names a package, for a configuration the tool
// does not understand: whatever it may name is kept.
std::vector<std::wstring> PackageDirsNamedIn(const std::string& text) {
    std::set<std::wstring> dirs;
    for (size_t at = text.find("pkg"); at != std::string::npos; at = text.find("pkg", at + 3)) {
        if (at + 4 > text.size() || (text[at + 3] != '/' && text[at + 3] != '\\')) continue;
        size_t end = at + 4;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        const std::wstring digits(text.begin() + at + 4, text.begin() + end);
        if (PackageNumber(digits) > 0) dirs.insert(L"pkg/" + digits);
    }
    return std::vector<std::wstring>(dirs.begin(), dirs.end());
}

// A configuration in another form than the tool's own is understood when it is UTF-8 and the
// launcher's parser takes every line of it (it skips a line of one field and stops at a line
// of white space). Empty when understood, else what is not.
std::wstring WhyNotUnderstood(const std::string& bytes, const std::wstring& text,
                              const ResoureConfigList& lines) {
    if (!bytes.empty() && ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) == 0) {
        return L"it is not UTF-8 text";
    }
    size_t count = 0;
    for (size_t pos = 0;;) {
        pos = text.find_first_not_of(L"\r\n", pos);
        if (pos == std::wstring::npos) break;
        pos = text.find_first_of(L"\r\n", pos);
        ++count;
    }
    if (count != lines.size()) return L"it holds lines the launcher skips or stops at";
    return std::wstring();
}

// The package folders the records name, once each, in order.
std::vector<std::wstring> PackageDirsOf(const ResoureConfigList& lines) {
    std::set<std::wstring> dirs;
    const std::wstring* last = nullptr;  // lines of one package mostly follow each other
    for (const ResoureConfigInfo& line : lines) {
        if (last == nullptr || *last != line.packageDir) dirs.insert(line.packageDir);
        last = &line.packageDir;
    }
    return std::vector<std::wstring>(dirs.begin(), dirs.end());
}

void StripByteOrderMark(std::string* bytes) {
    if (bytes->compare(0, 3, "\xEF\xBB\xBF") == 0) bytes->erase(0, 3);
}

bool EndsWithConfigSuffix(const std::wstring& file) {
    return file.size() > 4 && ::CompareStringOrdinal(file.c_str() + file.size() - 4, 4,
                                                     kConfigSuffix, 4, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool IsValidReleaseName(const std::wstring& name) {
    if (name.empty() || name.size() > 64 || !IsAlnum(name[0])) return false;
    for (wchar_t c : name) {
        if (!IsAlnum(c) && c != L'.' && c != L'_' && c != L'-') return false;
    }
    return true;
}

std::wstring ConfigFileOf(const CdnTree& tree, const std::wstring& release) {
    const auto found = tree.configFiles.find(release);
    return found != tree.configFiles.end() ? found->second : release + kConfigSuffix;
}

std::wstring ConfigPathOf(const CdnTree& tree, const std::wstring& release) {
    return tree.root + L"config\\" + ConfigFileOf(tree, release);
}

std::wstring UtcNowText() {
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return text;
}

bool LoadCdnTree(const std::wstring& root, CdnTree* tree, std::wstring* error) {
    *tree = CdnTree();
    tree->root = root;
    if (tree->root.back() != L'\\') tree->root.push_back(L'\\');
    std::vector<TreeRelease> recorded;
    if (!ReadRecord(tree, &recorded, error)) return false;

    for (const std::wstring& folder : ListFolder(tree->root + L"pkg\\", true)) {
        const int32_t number = PackageNumber(folder);
        if (number == 0) continue;
        tree->lastPackage = std::max(tree->lastPackage, number);
        TreePackage& package = tree->packages[number];
        package.dir = L"pkg/" + folder;
        package.path = tree->root + L"pkg\\" + folder + L"\\";
        package.fileSize = FileSize(package.path + kPackageFile);
        std::string contents;
        if (ReadFileBytes(package.path + kContentsFileName, &contents)) {
            package.complete = ParsePackageContents(contents, &package.streams);
            package.damaged = !package.complete;
            if (package.damaged) package.streams.clear();
        }
    }

    const std::wstring configDir = tree->root + L"config\\";
    std::map<std::wstring, std::wstring> mismatches;  // by release
    for (const std::wstring& file : ListFolder(configDir, false)) {
        if (!EndsWithConfigSuffix(file)) continue;
        const std::wstring release = file.substr(0, file.size() - 4);
        std::string bytes;
        if (!ReadFileBytes(configDir + file, &bytes)) {
            *error = configDir + file + L": cannot read the configuration";
            return false;
        }
        StripByteOrderMark(&bytes);
        tree->configFiles[release] = file;
        ResoureConfigList lines;
        // A signed configuration's records end where its signed part starts (the blank line
        // every reader stops at); a blank line followed by anything else is not understood.
        SignedPart part;
        const ChunkReferences chunked = ParseChunkReferences(bytes);
        if (ParseSignedPart(bytes, &part)) {
            tree->signedParts[release] = part;
            bytes.resize(FindSignedPartStart(bytes));
        } else if (!chunked.empty()) {
            bytes.resize(FindSignedPartStart(bytes));
        }
        if (!chunked.empty() && !ReadChunkLists(tree, release, chunked, error)) return false;
        const std::wstring text = Utf8ToTextExact(bytes);
        if (!ParseCanonicalConfig(text, &lines)) {
            lines.clear();
            ParseManifestText(text, &lines);
            const std::wstring why = WhyNotUnderstood(bytes, text, lines);
            if (!why.empty()) {
                tree->opaqueConfigs[release] = OpaqueConfig{file, why, PackageDirsNamedIn(bytes)};
                tree->notes.push_back(L"config\\" + file + L" is not understood (" + why +
                                      L"): it is kept, with every package its text names, and "
                                      L"nothing is reused from it");
                continue;
            }
        }
        // Every package a configuration names must hold what it says (reported in the order
        // of the releases, once every configuration was read); only the folders it names stay.
        std::wstring mismatch;
        if (CheckConfig(*tree, release, lines, &mismatch)) {
            mismatches.erase(release);
        } else {
            mismatches[release] = mismatch;
        }
        tree->configs[release] = PackageDirsOf(lines);
    }
    if (!mismatches.empty()) {
        *error = mismatches.begin()->second;
        return false;
    }
    // The package file must end where its contents list ends.
    std::set<std::wstring> namedDirs;
    for (const auto& chunked : tree->chunkPackages) {
        namedDirs.insert(chunked.second.begin(), chunked.second.end());
    }
    for (const auto& config : tree->configs)
        namedDirs.insert(config.second.begin(), config.second.end());
    for (auto& entry : tree->packages) {
        TreePackage& package = entry.second;
        package.named = namedDirs.count(package.dir) > 0;
        if (package.damaged) {
            tree->notes.push_back(L"the package " + package.dir +
                                  L" has a damaged contents list and no configuration names it: "
                                  L"nothing is reused from it, and a cleanup deletes it");
        }
        if (!package.complete) continue;
        const int64_t end = package.streams.empty()
                                ? 0
                                : package.streams.back().offset + package.streams.back().length;
        if (package.named && package.fileSize != end) {
            *error = L"the package " + package.dir + L" holds " +
                     std::to_wstring(package.fileSize) + L" bytes, its contents list " +
                     std::to_wstring(end);
            return false;
        }
    }

    // The record's releases that have a configuration (an interrupted publish leaves a
    // recorded release without one), oldest first; a later entry of a name wins.
    for (const TreeRelease& release : recorded) {
        if (tree->configs.count(release.name) == 0 && tree->opaqueConfigs.count(release.name) == 0)
            continue;
        for (auto it = tree->releases.begin(); it != tree->releases.end(); ++it) {
            if (it->name == release.name) {
                tree->releases.erase(it);
                break;
            }
        }
        tree->releases.push_back(release);
    }
    return true;
}

bool ReadConfigRecords(const CdnTree& tree, const std::wstring& release, ResoureConfigList* lines,
                       std::wstring* error) {
    const std::wstring path = ConfigPathOf(tree, release);
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) {
        *error = path + L": cannot read the configuration";
        return false;
    }
    StripByteOrderMark(&bytes);
    SignedPart part;
    if (ParseSignedPart(bytes, &part) || !ParseChunkReferences(bytes).empty()) {
        bytes.resize(FindSignedPartStart(bytes));
    }
    const std::wstring text = Utf8ToTextExact(bytes);
    lines->clear();
    if (!ParseCanonicalConfig(text, lines)) {
        lines->clear();
        ParseManifestText(text, lines);
    }
    return true;
}

bool WriteReleaseRecord(const std::wstring& root, int32_t lastPackage,
                        const std::vector<TreeRelease>& releases, std::wstring* error) {
    wchar_t number[16];
    std::swprintf(number, 16, L"%04d", lastPackage);
    std::wstring text = L"packages=" + std::wstring(number) + L"\r\n";
    for (const TreeRelease& release : releases) {
        text += L"release=" + release.name + L"=" + release.published + L"\r\n";
    }
    const std::wstring path = root + kReleaseRecordName;
    if (!WriteFileBeside(path, TextToUtf8Exact(text))) {
        *error = path + L": cannot write the tree's record";
        return false;
    }
    return true;
}
