// The check of the installed resources that runs before every comparison with the CDN list.
//
// Quick (every start): each folder holding recorded files is listed once; a file that is gone
// is recorded as missing; a file whose size or last write time differs from its stamp (or that
// has none) is read and its MD5 compared with its recorded digest, and recorded as missing when
// it no longer matches. Full (on request): every recorded file that the configuration lists
// with the same digest is read. Files are stamped in "version.stamps" beside "version.txt" as
// they are installed and when a check confirms them; "version.txt" itself keeps its format.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/CriticalSection.h"
#include "resources/InstallStamps.h"
#include "resources/LocalManifestMap.h"
#include "resources/ResourceManagerProgress.h"
#include "resources/ResoureConfigMap.h"

class LocalFilesCheck {
  public:
    using Progress = std::function<void(ResourceManagerCheckProgressInfo*)>;

    LocalFilesCheck();
    ~LocalFilesCheck();  // waits for a preparation still running
    LocalFilesCheck(const LocalFilesCheck&) = delete;
    LocalFilesCheck& operator=(const LocalFilesCheck&) = delete;

    // Starts reading, on a thread of its own, what the next Run needs from the disk: the
    // listings of the folders of the files local records now (read under lock) and the stamps
    // list. The caller leaves local unchanged until that Run, which waits for it; a Run without
    // it (or with other folders) reads them itself.
    void Prepare(const std::wstring& rootDir, const std::wstring& gameDir,
                 ombrix::CriticalSection& lock, const LocalManifestMap& local);

    // The next Run reads every recorded file the configuration lists with the same digest.
    void RequestFullCheck() { fullRequested_ = true; }

    // Checks the files local records below gameDir (local is read and changed under lock,
    // which is not held while files are read): the digest of every file found gone or no longer
    // matching is emptied. The stamps list read from the disk becomes the records' stamps.
    // published: the CDN's resources (used by a full check). progress gets state-21 records
    // while files are read (never when none is read).
    void Run(const std::wstring& rootDir, const std::wstring& gameDir,
             ombrix::CriticalSection& lock, LocalManifestMap* local,
             const ResoureConfigMap& published, const Progress& progress);

    // The stamps of the records of local, as the UTF-8 bytes of "version.stamps" (the caller
    // holds the lock guarding local).
    static std::string FormatStamps(const LocalManifestMap& local);
    // A slice of those bytes: the stamp lines of the records whose names follow *after (all
    // from the start when *after is empty), stopping once about maxBytes were appended; *after
    // becomes the last name appended. True when the list's end was reached.
    static bool FormatStampsSlice(const LocalManifestMap& list, std::wstring* after,
                                  size_t maxBytes, std::string* bytes);
    // Writes "version.stamps" below rootDir a slice of sliceBytes at a time (each formatted under
    // lock, which guards local, and written without it), unless it holds that text already as
    // far as this object knows: the hash of the text equals that of the list read there by the
    // last Run, or written since (saves come one at a time).
    void SaveStamps(const std::wstring& rootDir, ombrix::CriticalSection& lock,
                    const LocalManifestMap& local, size_t sliceBytes);

    // Figures of the last Run.
    bool lastRunFull = false;
    size_t filesChecked = 0;            // files read and digested
    uint64_t diskMs = 0;                // reading the listings and the stamps (while requesting)
    uint64_t listMs = 0;                // of it, the listings
    uint64_t waitMs = 0;                // Run waiting for that reading to end
    uint64_t runMs = 0;                 // Run in all, the wait included
    std::vector<std::wstring> damaged;  // recorded files found gone or changed

  private:
    struct Prepared;
    static void ReadDisk(Prepared* prepared, ombrix::CriticalSection& lock,
                         const LocalManifestMap& local);
    static uint64_t MillisecondsSince(std::chrono::steady_clock::time_point start);

    std::atomic<bool> fullRequested_{false};
    std::thread preparing_;               // fills prepared_
    std::unique_ptr<Prepared> prepared_;  // owned by preparing_ while it runs
    // Guards the two below (taken after the lock guarding local).
    ombrix::CriticalSection stampsLock_;
    // The hash of what "version.stamps" below savedStampsDir_ holds.
    std::wstring savedStampsDir_;
    uint64_t savedStampsHash_ = 0;
};
