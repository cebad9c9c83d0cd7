// Outcomes the CDN downloader reports to its client, and the kinds of batch it runs.
// No Windows header.
#pragma once

#include <cstdint>

enum CDNDownloadState : int32_t {
    CDNDownloadSuccess = 1,      // configuration fetched and parsed; a file task or batch succeeded
    CDNDownloadFailed = 2,       // a request did not end with status 200
    CDNDownloadNoContent = 3,    // status 200 but the configuration sink delivered no text
    CDNDownloadParseFailed = 4,  // the configuration text was refused
};

// The kind of a batch, carried in DownloadTaskInfo::kind of every task.
enum DownloadMode : int32_t {
    DownloadModeConfig = 1,    // the CDN configuration, collected as text
    DownloadModeResource = 2,  // game resource files, installed under gameDir
    DownloadModeLauncher = 3,  // launcher files, installed under launcherDir and bundled
};
