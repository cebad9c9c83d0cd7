#include <gtest/gtest.h>

#include "flow/StatusLine.h"

namespace {

constexpr int64_t kKiB = 1024;
constexpr int64_t kMiB = 1024 * 1024;

class StatusLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        status.BuildTemplates();
        status.ResetCounters();
        status.downloading = 1;
    }
    DownloadStatusLine status;
};

TEST_F(StatusLineTest, SteadySpeedShowsSpeedRemainingTimeAndSizes) {
    // 512 KiB every second for six seconds, ending at 20 MiB of 120 MiB.
    status.lastBytes = 17 * kMiB;
    StatusLineTick tick;
    for (int i = 1; i <= 6; ++i) {
        status.SetProgress(17 * kMiB + i * 512 * kKiB, 120 * kMiB);
        tick = status.Tick(status.downloadedBytes / static_cast<float>(status.totalBytes));
    }
    ASSERT_TRUE(tick.showLine);
    EXPECT_EQ(L"资源更新中,速度:513KB/秒,预计:3分20秒(20.00MB/120.00MB)", tick.line);
    EXPECT_EQ(20 * kMiB, status.lastBytes);
    EXPECT_FALSE(tick.showNewTip);
    EXPECT_FALSE(tick.showSlowHint);
}

TEST_F(StatusLineTest, SpeedIsTheAverageOfTheLastSixSeconds) {
    // One burst of 6 MiB, then nothing: the burst counts for six ticks, then it is gone.
    status.SetProgress(6 * kMiB, 60 * kMiB);
    for (int i = 0; i < 6; ++i) {
        const StatusLineTick tick = status.Tick(0.1f);
        EXPECT_NE(std::wstring::npos, tick.line.find(L"速度:1.00MB/秒")) << i << tick.line;
    }
    const StatusLineTick tick = status.Tick(0.1f);
    EXPECT_NE(std::wstring::npos, tick.line.find(L"[等待网络中..(1)S]")) << tick.line;
}

TEST_F(StatusLineTest, StallCountsSecondsAndBringsTheHintAfterTwenty) {
    status.SetProgress(20 * kMiB, 120 * kMiB);
    status.lastBytes = 20 * kMiB;
    StatusLineTick tick;
    for (int i = 1; i <= 20; ++i) tick = status.Tick(0.2f);
    EXPECT_EQ(L"资源更新中,速度:0KB/秒,预计:[等待网络中..(20)S](20.00MB/120.00MB)", tick.line);
    EXPECT_FALSE(tick.showSlowHint);
    EXPECT_EQ(20 * kMiB, status.lastBytes);

    tick = status.Tick(0.2f);
    EXPECT_NE(std::wstring::npos, tick.line.find(L"(21)S"));
    EXPECT_TRUE(tick.showSlowHint);

    // Bytes arrive again: the speed line is back and a fresh tip is asked for. The first
    // sample holds every byte since the last tick with speed.
    status.SetProgress(26 * kMiB, 120 * kMiB);
    tick = status.Tick(0.2f);
    EXPECT_NE(std::wstring::npos, tick.line.find(L"速度:1.00MB/秒")) << tick.line;
    EXPECT_TRUE(tick.showNewTip);
    EXPECT_FALSE(tick.showSlowHint);
}

TEST_F(StatusLineTest, SingleStalledSecondAsksForNoNewTip) {
    status.SetProgress(0, 10 * kMiB);
    EXPECT_TRUE(status.Tick(0.f).line.find(L"(1)S") != std::wstring::npos);
    status.SetProgress(kMiB, 10 * kMiB);
    const StatusLineTick tick = status.Tick(0.1f);
    EXPECT_FALSE(tick.showNewTip);
    EXPECT_EQ(1, status.waitSeconds);  // only a new tip sets the counter back
}

TEST_F(StatusLineTest, NothingHappensOutsideADownload) {
    status.downloading = 0;
    status.SetProgress(kMiB, 2 * kMiB);
    const StatusLineTick tick = status.Tick(0.5f);
    EXPECT_FALSE(tick.showLine);
    EXPECT_EQ(0, status.waitSeconds);
    EXPECT_EQ(0, status.sampleIndex);
}

TEST_F(StatusLineTest, TemplateStaysWhenTheFractionReachesOne) {
    // No template covers 1.0 itself: without a current one there is no line at all, once
    // one was chosen it stays.
    status.SetProgress(kMiB, kMiB);
    EXPECT_FALSE(status.Tick(1.0f).showLine);
    EXPECT_TRUE(status.Tick(0.5f).showLine);
    EXPECT_TRUE(status.Tick(1.0f).showLine);
}

TEST_F(StatusLineTest, WithoutTotalTheLineWaits) {
    status.SetProgress(kMiB, 0);
    const StatusLineTick tick = status.Tick(0.f);
    EXPECT_NE(std::wstring::npos, tick.line.find(L"[等待网络中..(1)S]"));
}

TEST_F(StatusLineTest, CounterGoingBackwardsIsNoSpeed) {
    // Records of two workers posted out of order: the later, smaller count must not turn
    // into a negative speed.
    status.lastBytes = 8 * kMiB;
    status.SetProgress(2 * kMiB, 10 * kMiB);
    const StatusLineTick tick = status.Tick(0.2f);
    EXPECT_NE(std::wstring::npos, tick.line.find(L"速度:0KB/秒")) << tick.line;
    EXPECT_EQ(std::wstring::npos, tick.line.find(L"G/秒"));
}

TEST_F(StatusLineTest, SizesOfSmallAndLargeBatches) {
    status.SetProgress(1023, 1023);
    EXPECT_EQ(L"1 KB/1 KB", status.sizeText);
    status.SetProgress(0, 1024 * kMiB);
    EXPECT_EQ(L"1 KB/1.00G", status.sizeText);
}

TEST_F(StatusLineTest, ResetKeepsSixSamplesAndClearsCounters) {
    status.SetProgress(5, 10);
    status.speedSamples[3] = 99;
    status.ResetCounters();
    ASSERT_EQ(6u, status.speedSamples.size());
    for (int64_t s : status.speedSamples) EXPECT_EQ(0, s);
    EXPECT_EQ(0, status.downloadedBytes);
    EXPECT_EQ(0, status.totalBytes);
    EXPECT_EQ(0, status.downloading);
}

TEST(StatusFormat, FillsThreePlaces) {
    EXPECT_EQ(L"a1-b2-c3", FillStatusFormat(L"a%s-b%s-c%s", L"1", L"2", L"3"));
    EXPECT_EQ(L"x%dy", FillStatusFormat(L"x%dy", L"1", L"2", L"3"));
}

}  // namespace
