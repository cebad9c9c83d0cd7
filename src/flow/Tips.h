// The promotional tips of the foreground window and the slow-download hint.
// No Windows header.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Appends the seven tips in their display order ("\r\n" breaks a tip into two lines).
void AppendLauncherTips(std::vector<std::wstring>* tips);

// Shown in place of the tip when the download has stalled for a long time.
extern const wchar_t kSlowDownloadHint[];

// Seeds the C generator with seed and returns the index of the tip to show among count tips
// (0 when count is 0). The same seed gives the same tip.
size_t PickTipIndex(size_t count, unsigned seed);
