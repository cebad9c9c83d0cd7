// Where the launcher keeps its data and where the game is installed. Nothing is cached: every
// call probes the data directory again and reads "game_root.txt" again.
#pragma once

#include <functional>
#include <string>

// The user's roaming application-data folder + "\VEMO_PC\Ombrix\" when a probe file can be
// written there; otherwise the same below the writable fixed drive with the most free space;
// otherwise the unwritable folder itself. Ends with a backslash.
std::wstring GetLauncherDataDir();

// The game installation root, ending with a backslash: the directory remembered in
// "game_root.txt" of the data directory when it still exists on a fixed drive, otherwise a new
// root "VEMO\Ombrix\" below the largest writable fixed drive (or the data directory), which is
// then remembered.
std::wstring GetGameRoot();

// What the two decisions above need to know about the machine. The defaults ask the machine;
// tests put in answers of their own.
struct InstallProbes {
    std::function<bool(const std::wstring& dir)> isWritableDirectory;
    std::function<bool(std::wstring* root)> findLargestFreeDrive;
    // True when path names an existing directory that lies on a fixed drive.
    std::function<bool(const std::wstring& path)> isFixedDirectory;
    std::function<bool(const std::wstring& path, std::string* bytes)> readFile;
    std::function<bool(const std::wstring& path, const std::string& bytes)> writeFile;
};

InstallProbes MachineInstallProbes();

// The launcher data directory for the given roaming application-data folder (no trailing
// backslash).
std::wstring ResolveLauncherDataDir(const std::wstring& appDataFolder, const InstallProbes& probes);

// The game root for the given launcher data directory; rewrites "game_root.txt" there when the
// remembered root is missing or unusable.
std::wstring ResolveGameRoot(const std::wstring& dataDir, const InstallProbes& probes);
