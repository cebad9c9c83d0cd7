#include "flow/StatusLine.h"

#include <cstdio>

#include "app/TextFormat.h"

namespace {

const wchar_t kDownloadFormat[] = L"资源更新中,速度:%s/秒,预计:%s(%s)";

bool Applies(const StatusTemplate& t, float fraction) {
    return t.stageKey == 0 && t.minFraction <= fraction && fraction < t.maxFraction;
}

}  // namespace

std::wstring FillStatusFormat(const std::wstring& format, const std::wstring& a,
                              const std::wstring& b, const std::wstring& c) {
    const std::wstring* args[] = {&a, &b, &c};
    std::wstring out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's') {
            if (next < 3) out += *args[next];
            ++next;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

void DownloadStatusLine::BuildTemplates() {
    auto t = std::make_unique<StatusTemplate>();
    t->format = kDownloadFormat;
    t->stageKey = 0;
    t->minFraction = 0.0f;
    t->maxFraction = 1.0f;
    statusTemplates.push_back(std::move(t));
}

void DownloadStatusLine::ResetCounters() {
    lastBytes = 0;
    downloadedBytes = 0;
    totalBytes = 0;
    downloading = 0;
    if (speedSamples.size() < kSampleCount) {
        speedSamples.insert(speedSamples.end(), kSampleCount, 0);
    }
    for (int i = 0; i < kSampleCount; ++i) speedSamples[i] = 0;
}

void DownloadStatusLine::SetProgress(int64_t downloaded, int64_t total) {
    downloadedBytes = downloaded;
    totalBytes = total;
    sizeText = FormatByteSize(downloaded) + L"/" + FormatByteSize(total);
}

void DownloadStatusLine::ChooseTemplate(float progressFraction) {
    if (currentTemplate != nullptr && Applies(*currentTemplate, progressFraction)) return;
    for (const auto& t : statusTemplates) {
        if (Applies(*t, progressFraction)) {
            currentTemplate = t.get();
            return;
        }
    }
}

StatusLineTick DownloadStatusLine::Tick(float progressFraction) {
    StatusLineTick tick;
    ChooseTemplate(progressFraction);
    if (downloading == 0 || currentTemplate == nullptr) return tick;

    // The samples exist once a notice result succeeded; keep the ring whole regardless.
    if (speedSamples.size() < kSampleCount) speedSamples.resize(kSampleCount, 0);
    if (sampleIndex < 0 || sampleIndex >= kSampleCount) sampleIndex = 0;
    speedSamples[sampleIndex] = downloadedBytes - lastBytes;
    sampleIndex = (sampleIndex + 1) % kSampleCount;
    int64_t sum = 0;
    for (int i = 0; i < kSampleCount; ++i) sum += speedSamples[i];
    int64_t speed = sum / kSampleCount;
    // Progress records of several workers can arrive slightly out of order; a counter that
    // went backwards is no speed at all.
    if (speed < 0) speed = 0;

    if (speed != 0 && totalBytes > 0) {
        lastBytes = downloadedBytes;
        const int64_t seconds = (totalBytes - downloadedBytes) / speed;
        tick.line = FillStatusFormat(currentTemplate->format, FormatByteSize(speed),
                                     FormatDuration(static_cast<int32_t>(seconds)), sizeText);
        tick.showNewTip = waitSeconds > 1;
    } else {
        waitSeconds += 1;
        wchar_t wait[64];
        std::swprintf(wait, 64, L"[等待网络中..(%lld)S]", static_cast<long long>(waitSeconds));
        tick.line = FillStatusFormat(currentTemplate->format, L"0KB", wait, sizeText);
        tick.showSlowHint = waitSeconds > kSlowHintSeconds;
    }
    tick.showLine = true;
    return tick;
}
