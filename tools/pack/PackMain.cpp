// OmbrixPack: publishes a CDN tree that the launcher installs from.
//   OmbrixPack --game DIR [--launcher DIR] --out DIR [--package-mib N]
// Writes OUT\config\resources.txt (the configuration, UTF-8) and OUT\pkg\NNNN\qz_game.qzpkg.
// The address to publish is that of the configuration; the launcher finds the packages one
// folder above the configuration's folder.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ConfigLine.h"
#include "PackOptions.h"
#include "PackageWriter.h"
#include "PublishableName.h"
#include "SourceTree.h"
#include "app/FileServices.h"
#include "app/TextConvert.h"

namespace {

const wchar_t kConfigFolder[] = L"config";
const wchar_t kConfigFileName[] = L"resources.txt";

void Print(FILE* stream, const std::wstring& text) {
    const std::string bytes = TextToNarrow(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

int Fail(const std::wstring& message) {
    Print(stderr, L"OmbrixPack: " + message + L"\n");
    return 1;
}

bool IsEmptyOrMissingFolder(const std::wstring& dir, bool* exists) {
    *exists = DirectoryExists(dir);
    if (!*exists)
        return !FileExists(dir) && ::GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        const std::wstring entry = data.cFileName;
        if (entry != L"." && entry != L"..") empty = false;
    } while (empty && ::FindNextFileW(find, &data));
    ::FindClose(find);
    return empty;
}

struct Job {
    SourceFile file;
    bool launcher;
};

std::wstring Mib(int64_t bytes) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.1f MiB", static_cast<double>(bytes) / 1048576.0);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    PackOptions options;
    std::wstring error;
    if (!ParsePackOptions(args, &options, &error)) return Fail(error + L"\n" + kPackUsage);

    const std::wstring gameDir = FullDirectoryPath(options.gameDir);
    const std::wstring launcherDir =
        options.launcherDir.empty() ? std::wstring() : FullDirectoryPath(options.launcherDir);
    const std::wstring outDir = FullDirectoryPath(options.outDir);
    if (gameDir.empty() || !DirectoryExists(gameDir)) {
        return Fail(L"the game folder " + options.gameDir + L" does not exist");
    }
    if (!options.launcherDir.empty() && (launcherDir.empty() || !DirectoryExists(launcherDir))) {
        return Fail(L"the launcher folder " + options.launcherDir + L" does not exist");
    }
    if (outDir.empty()) return Fail(L"the output folder " + options.outDir + L" is not valid");
    for (const std::wstring& input : {gameDir, launcherDir}) {
        if (!input.empty() && (IsSameOrBelow(outDir, input) || IsSameOrBelow(input, outDir))) {
            return Fail(L"the output folder and " + input + L" must not contain each other");
        }
    }
    bool outExists = false;
    if (!IsEmptyOrMissingFolder(outDir, &outExists)) {
        return Fail(L"the output folder " + outDir + L" is not empty (or is a file)");
    }

    std::vector<SourceFile> gameFiles;
    std::vector<SourceFile> launcherFiles;
    if (!ListSourceFiles(gameDir, &gameFiles, &error)) return Fail(error);
    if (!launcherDir.empty() && !ListSourceFiles(launcherDir, &launcherFiles, &error)) {
        return Fail(error);
    }
    if (gameFiles.empty() && launcherFiles.empty()) {
        return Fail(L"nothing to publish: the input folders hold no file");
    }
    if (!CheckPublishableSet(gameFiles, false, &error) ||
        !CheckPublishableSet(launcherFiles, true, &error)) {
        return Fail(error);
    }

    std::vector<Job> jobs;
    for (const SourceFile& file : gameFiles) jobs.push_back(Job{file, false});
    for (const SourceFile& file : launcherFiles) jobs.push_back(Job{file, true});

    if (!outExists && !CreateDirectories(outDir) && !DirectoryExists(outDir)) {
        return Fail(outDir + L": cannot create the output folder");
    }
    PackageWriter writer(outDir, options.packageMiB * 1048576);
    std::wstring config;
    int64_t inputBytes = 0;
    int64_t packedBytes = 0;
    ULONGLONG lastReport = ::GetTickCount64();
    for (size_t i = 0; i < jobs.size(); ++i) {
        PackedEntry entry;
        if (!writer.Add(jobs[i].file.path, &entry, &error)) {
            writer.RemoveOutput();
            return Fail(error + L"\nnothing was published");
        }
        config += FormatConfigLine(jobs[i].file.name, entry, jobs[i].launcher);
        inputBytes += entry.inputSize;
        packedBytes += entry.length;
        const ULONGLONG now = ::GetTickCount64();
        if (now - lastReport >= 1000) {
            lastReport = now;
            Print(stderr, L"OmbrixPack: " + std::to_wstring(i + 1) + L"/" +
                              std::to_wstring(jobs.size()) + L" files, " + Mib(inputBytes) +
                              L" read\n");
        }
    }
    writer.Close();

    const std::wstring configDir = outDir + kConfigFolder + L"\\";
    const std::wstring configPath = configDir + kConfigFileName;
    if (!WriteFileBytes(configPath.c_str(), TextToUtf8Exact(config))) {
        writer.RemoveOutput();
        ::RemoveDirectoryW(configDir.c_str());
        return Fail(configPath + L": cannot write the configuration\nnothing was published");
    }
    Print(stdout, L"OmbrixPack: " + std::to_wstring(jobs.size()) + L" files (" +
                      std::to_wstring(launcherFiles.size()) + L" of the launcher), " +
                      Mib(inputBytes) + L" in, " + Mib(packedBytes) + L" in " +
                      std::to_wstring(writer.PackageCount()) + L" package(s)\n" +
                      L"configuration: " + configPath + L"\n");
    return 0;
}
