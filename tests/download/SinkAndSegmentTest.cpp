// Segment merging, byte routing across task ranges and the text sink: pure code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingSink.h"
#include "download/DownloadTextProcessor.h"
#include "download/SegmentBuilder.h"
#include "download/SegmentDownloadDataProcessor.h"

namespace {

DownloadTaskInfo Task(int64_t start, uint32_t length, const std::wstring& url = L"http://h/p",
                      const std::wstring& body = L"") {
    DownloadTaskInfo task;
    task.url = url;
    task.postData = body;
    task.rangeStart = start;
    task.rangeLength = length;
    task.name = std::to_wstring(start);
    return task;
}

std::vector<SegmentDownloadTaskInfo> Merge(std::vector<DownloadTaskInfo> tasks) {
    SortTasksByRange(tasks);
    return MergeIntoSegments(tasks);
}

TEST(SegmentBuilder, MergesAdjacentRangesAndSplitsAtGaps) {
    auto segments = Merge({Task(0, 100), Task(100, 50), Task(150, 10), Task(200, 10)});
    ASSERT_EQ(2u, segments.size());
    EXPECT_EQ(0, segments[0].rangeStart);
    EXPECT_EQ(160u, segments[0].rangeLength);
    ASSERT_EQ(3u, segments[0].tasks.size());
    EXPECT_EQ(200, segments[1].rangeStart);
    EXPECT_EQ(10u, segments[1].rangeLength);

    // Out of order input is sorted first; the caller's vector is sorted in place.
    std::vector<DownloadTaskInfo> tasks = {Task(200, 10), Task(0, 100), Task(100, 100)};
    SortTasksByRange(tasks);
    EXPECT_EQ(0, tasks[0].rangeStart);
    segments = MergeIntoSegments(tasks);
    ASSERT_EQ(1u, segments.size());
    EXPECT_EQ(210u, segments[0].rangeLength);
    EXPECT_EQ(L"0", segments[0].tasks[0].name);
    EXPECT_EQ(L"100", segments[0].tasks[1].name);
    EXPECT_EQ(L"200", segments[0].tasks[2].name);

    // Overlapping ranges start a new segment too.
    EXPECT_EQ(2u, Merge({Task(0, 100), Task(50, 100)}).size());
}

TEST(SegmentBuilder, SegmentLimit) {
    // Below the limit a segment takes the next adjacent task whatever its size.
    auto segments = Merge({Task(0, kSegmentLimitBytes - 1), Task(kSegmentLimitBytes - 1, 5000)});
    ASSERT_EQ(1u, segments.size());
    EXPECT_EQ(kSegmentLimitBytes - 1 + 5000, segments[0].rangeLength);
    // At the limit it takes nothing more, even an adjacent task.
    segments = Merge({Task(0, kSegmentLimitBytes), Task(kSegmentLimitBytes, 1)});
    EXPECT_EQ(2u, segments.size());
    // 2,000 adjacent tasks of 25 KiB make five requests.
    std::vector<DownloadTaskInfo> many;
    for (int i = 0; i < 2000; ++i) many.push_back(Task(int64_t(i) * 25600, 25600));
    segments = Merge(many);
    ASSERT_EQ(5u, segments.size());
    EXPECT_EQ(410u, segments[0].tasks.size());
    EXPECT_EQ(360u, segments[4].tasks.size());
}

TEST(SegmentBuilder, KeysSeparateUrlsAndBodies) {
    auto segments = Merge({Task(0, 10, L"http://h/b"), Task(10, 10, L"http://h/a"),
                           Task(0, 10, L"http://h/a"), Task(10, 10, L"http://h/b")});
    ASSERT_EQ(2u, segments.size());
    EXPECT_EQ(L"http://h/a", segments[0].url);  // keys in ordinal order
    EXPECT_EQ(20u, segments[0].rangeLength);
    EXPECT_EQ(L"http://h/b", segments[1].url);

    EXPECT_EQ(2u, Merge({Task(0, 10, L"u", L"x"), Task(10, 10, L"u", L"y")}).size());

    // Two whole-file tasks with the same URL and body share one request.
    segments = Merge({Task(-1, 0), Task(-1, 0)});
    ASSERT_EQ(1u, segments.size());
    EXPECT_EQ(2u, segments[0].tasks.size());
    EXPECT_EQ(-1, segments[0].rangeStart);

    EXPECT_TRUE(Merge({}).empty());
}

TEST(SegmentBuilder, NeverMergesAcrossWholeFileOrPastThirtyTwoBits) {
    // A whole-file task ending "where" a ranged one starts: the ranged task keeps its own Range
    // request instead of receiving the whole resource.
    auto segments = Merge({Task(-10, 10), Task(0, 100)});
    ASSERT_EQ(2u, segments.size());
    EXPECT_EQ(-10, segments[0].rangeStart);
    EXPECT_EQ(0, segments[1].rangeStart);
    EXPECT_EQ(100u, segments[1].rangeLength);

    // A length that would wrap the segment's 32-bit length starts a new segment.
    segments = Merge({Task(0, 100), Task(100, 0xFFFFFFCEu)});
    ASSERT_EQ(2u, segments.size());
    EXPECT_EQ(100u, segments[0].rangeLength);
    EXPECT_EQ(0xFFFFFFCEu, segments[1].rangeLength);
}

struct RoutingFixture : ::testing::Test {
    RecordingSink first{Task(1000, 10)};
    RecordingSink second{Task(1010, 5)};
    SegmentDownloadTaskInfo segment = [] {
        SegmentDownloadTaskInfo s(Task(1000, 10));
        s.tasks.push_back(Task(1010, 5));
        s.rangeLength = 15;
        return s;
    }();
    const std::string bytes = "abcdefghijKLMNO";
};

TEST_F(RoutingFixture, CutsChunksAtTaskBoundaries) {
    SegmentDownloadDataProcessor sink(segment, {&first, &second});
    ASSERT_TRUE(sink.OnBegin(15));
    EXPECT_EQ(std::vector<uint32_t>{15}, second.lengths);  // every target sees the whole length
    ASSERT_TRUE(sink.OnData(bytes.data(), 15));
    EXPECT_EQ("abcdefghij", first.data);
    EXPECT_EQ("KLMNO", second.data);

    // A retried attempt starts the routing again at offset 0; chunks of 7 and 8.
    first.chunks = 0;
    ASSERT_TRUE(sink.OnBegin(15));
    ASSERT_TRUE(sink.OnData(bytes.data(), 7));
    ASSERT_TRUE(sink.OnData(bytes.data() + 7, 8));
    EXPECT_EQ("abcdefghij", first.data);
    EXPECT_EQ(2, first.chunks);  // 7 bytes, then the 3 that end its range
    EXPECT_EQ("KLMNO", second.data);
    EXPECT_TRUE(sink.OnFinish());
    EXPECT_TRUE(sink.OnData(bytes.data(), 0));
}

TEST_F(RoutingFixture, UncoveredBytesAreDroppedNotStalled) {
    // A task of the segment got no sink: its bytes go nowhere, the others still get theirs.
    SegmentDownloadDataProcessor withoutFirst(segment, {&second});
    withoutFirst.OnBegin(15);
    ASSERT_TRUE(withoutFirst.OnData(bytes.data(), 15));
    EXPECT_EQ("KLMNO", second.data);
    EXPECT_EQ("", first.data);

    // A server sending more than the range: the surplus is dropped.
    SegmentDownloadDataProcessor sink(segment, {&first, &second});
    sink.OnBegin(15);
    const std::string longer = bytes + "surplus";
    ASSERT_TRUE(sink.OnData(longer.data(), static_cast<uint32_t>(longer.size())));
    EXPECT_EQ("abcdefghij", first.data);
    EXPECT_EQ("KLMNO", second.data);
    EXPECT_EQ(static_cast<int64_t>(longer.size()), sink.written);
}

TEST_F(RoutingFixture, FailuresAreCombinedAfterCallingEveryTarget) {
    first.refuseBegin = 1;
    second.refuseData = 1;
    SegmentDownloadDataProcessor sink(segment, {&first, &second});
    EXPECT_FALSE(sink.OnBegin(15));
    EXPECT_EQ(1, second.begins);  // called although the first refused
    EXPECT_FALSE(sink.OnData(bytes.data(), 15));
    EXPECT_EQ("abcdefghij", first.data);
    second.refuseFinish = 1;
    EXPECT_FALSE(sink.OnFinish());
    EXPECT_EQ(1, first.finishes);
    std::string out = "unchanged";
    EXPECT_TRUE(sink.GetContent(out));
    EXPECT_EQ("unchanged", out);
}

TEST(SegmentRouting, WholeFileSegmentGivesEveryTargetEveryChunk) {
    SegmentDownloadTaskInfo segment(Task(-1, 0));
    segment.tasks.push_back(Task(-1, 0));
    RecordingSink a{Task(-1, 0)}, b{Task(-1, 0)};
    SegmentDownloadDataProcessor sink(segment, {&a, &b});
    sink.OnBegin(0);
    ASSERT_TRUE(sink.OnData("xyz", 3));
    EXPECT_EQ("xyz", a.data);
    EXPECT_EQ("xyz", b.data);
}

TEST(TextSink, ByteOrderMarkAndReset) {
    DownloadTextProcessor text(Task(-1, 0));
    std::string out;
    ASSERT_TRUE(text.OnBegin(0));
    ASSERT_TRUE(text.OnData("\xEF\xBB\xBF", 3));
    ASSERT_TRUE(text.GetContent(out));
    EXPECT_EQ("", out);
    EXPECT_EQ(3u, text.text.size());

    ASSERT_TRUE(text.OnBegin(0));  // a new attempt drops the earlier body
    ASSERT_TRUE(text.OnData("\xEF\xBBX", 3));
    text.GetContent(out);
    EXPECT_EQ("\xEF\xBBX", out);
    EXPECT_TRUE(text.OnFinish());
}

TEST(TextSink, RefusesBodiesBeyondTheBound) {
    DownloadTextProcessor text(Task(-1, 0));
    ASSERT_TRUE(text.OnBegin(0));
    text.text.assign(DownloadTextProcessor::kMaxTextBytes - 2, 'a');
    EXPECT_TRUE(text.OnData("bb", 2));
    EXPECT_FALSE(text.OnData("c", 1));
    EXPECT_EQ(DownloadTextProcessor::kMaxTextBytes, text.text.size());
}

}  // namespace
