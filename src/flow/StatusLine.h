// The once-per-second status line of a running download: speed over the last six seconds,
// remaining time and sizes, or a network-wait counter while nothing arrives.
// No Windows header: pure arithmetic and text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One format of the status line and the progress range it applies to.
struct StatusTemplate {
    std::wstring format;      // three %s: speed, remaining time, sizes
    int32_t stageKey = 0;     // selects the template together with the fraction
    float minFraction = 0.f;  // inclusive
    float maxFraction = 1.f;  // exclusive
};

// What one tick of the status line decided for the window.
struct StatusLineTick {
    bool showLine = false;      // false: the status label keeps its text
    std::wstring line;          // the new status line
    bool showNewTip = false;    // speed came back after a stall: show a fresh tip
    bool showSlowHint = false;  // long stall: the tip line shows the slow-download hint
};

// Counters behind the status line. The window feeds it the progress records of the running
// batch and ticks it once a second.
class DownloadStatusLine {
  public:
    static constexpr int kSampleCount = 6;
    // More stalled seconds than this bring up the slow-download hint.
    static constexpr int64_t kSlowHintSeconds = 20;

    // Builds the one template the launcher uses.
    void BuildTemplates();
    // Start of a new update run: counters back to zero, six empty speed samples.
    void ResetCounters();
    // A progress record of the running batch; also renders the size text.
    void SetProgress(int64_t downloaded, int64_t total);
    // One second has passed. progressFraction picks the template.
    StatusLineTick Tick(float progressFraction);

    int64_t lastBytes = 0;
    int64_t downloadedBytes = 0;
    int64_t totalBytes = 0;
    int32_t downloading = 0;
    int32_t sampleIndex = 0;
    std::vector<int64_t> speedSamples;
    std::wstring sizeText;
    const StatusTemplate* currentTemplate = nullptr;
    std::vector<std::unique_ptr<StatusTemplate>> statusTemplates;
    int64_t waitSeconds = 0;

  private:
    void ChooseTemplate(float progressFraction);
};

// Fills a format holding three %s with the given texts (any further %s stays empty).
std::wstring FillStatusFormat(const std::wstring& format, const std::wstring& a,
                              const std::wstring& b, const std::wstring& c);
