// Segment merging, byte routing across task ranges and the text sink: pure code.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "VectorTaskSource.h"
#include "download/DownloadTextProcessor.h"
#include "download/OnDemandSegmentSink.h"
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

// Merges the records, and checks that the same tasks described by a source give the same
// segments: same requests, same tasks in the same order.
std::vector<SegmentDownloadTaskInfo> Merge(std::vector<DownloadTaskInfo> tasks) {
    const auto fromSource = MergeIntoSegments(std::make_shared<VectorTaskSource>(tasks));
    SortTasksByRange(tasks);
    auto segments = MergeIntoSegments(tasks);
    EXPECT_EQ(segments.size(), fromSource.size());
    for (size_t i = 0; i < segments.size() && i < fromSource.size(); ++i) {
        const SegmentDownloadTaskInfo& a = segments[i];
        const SegmentDownloadTaskInfo& b = fromSource[i];
        EXPECT_TRUE(a.url == b.url && a.postData == b.postData && a.rangeStart == b.rangeStart &&
                    a.rangeLength == b.rangeLength)
            << "segment " << i;
        EXPECT_EQ(a.TaskCount(), b.TaskCount()) << "segment " << i;
        if (a.TaskCount() != b.TaskCount()) continue;
        for (size_t k = 0; k < a.TaskCount(); ++k) {
            EXPECT_EQ(a.tasks[k].name, b.TaskAt(k).name) << "segment " << i << " task " << k;
            EXPECT_EQ(a.tasks[k].rangeStart, b.entries[k].start);
        }
    }
    return segments;
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

// A segment of many small files whose sinks are made when the bytes reach them: every task is
// made and reported exactly once, a task reported done is neither made nor fed again by a
// retried attempt, only the sinks of unfinished tasks are held, and when the transfer gives up,
// the tasks its bytes never reached still get their sink and the failure.
TEST(OnDemandSegment, ManySmallFilesAcrossChunksFailuresAndRetries) {
    struct Case {
        const char* what;
        uint32_t chunk;    // bytes per OnData
        int refuseFinish;  // task whose sink refuses its first finish (-1: none)
        uint32_t cutAt;    // the first attempt ends after this many bytes (0: never)
        size_t sinkless;   // tasks (from the first) that get no sink
        int attempts;
        int32_t status;  // of the transfer, for the tasks not done
    };
    const Case cases[] = {
        {"one byte a chunk", 1, -1, 0, 0, 1, 200},
        {"chunks across files", 7, -1, 0, 0, 1, 200},
        {"one chunk", 4096, -1, 0, 0, 1, 200},
        {"a file refuses its end", 5, 10, 0, 0, 2, 200},
        {"cut midway and retried", 3, -1, 77, 0, 2, 200},
        {"refused and cut", 64, 30, 150, 0, 2, 200},
        {"first files without sink", 11, -1, 0, 3, 1, 200},
        {"cut at a file's end, given up", 4, -1, 28, 0, 1, -3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<DownloadTaskInfo> tasks;
        int64_t at = 5000;
        for (int i = 0; i < 40; ++i) {
            const uint32_t length = i == 20 || i == 39 ? 0 : 1 + i % 7;  // two empty files
            tasks.push_back(Task(at, length));
            tasks.back().name = std::to_wstring(i);
            at += length;
        }
        const auto segments = MergeIntoSegments(std::make_shared<VectorTaskSource>(tasks));
        ASSERT_EQ(1u, segments.size());
        std::string body;
        for (int64_t i = 5000; i < at; ++i) body += static_cast<char>('a' + i % 26);

        std::map<std::wstring, std::unique_ptr<RecordingSink>> sinks;
        std::map<std::wstring, int> made, reported;
        std::map<std::wstring, int32_t> status;
        size_t held = 0, mostHeld = 0;
        OnDemandSegmentSink sink(
            segments[0],
            [&](const DownloadTaskInfo& task) -> DownloadDataProcessor* {
                ++made[task.name];
                if (std::stoul(task.name) < c.sinkless) return nullptr;
                auto& s = sinks[task.name];
                s.reset(new RecordingSink(task));
                if (task.name == std::to_wstring(c.refuseFinish)) s->refuseFinish = 1;
                mostHeld = std::max(mostHeld, ++held);
                return s.get();
            },
            [&](const DownloadTaskInfo& task, int32_t result) {
                ++reported[task.name];
                status[task.name] = result;
                if (sinks.count(task.name) != 0) --held;
            });
        ASSERT_TRUE(sink.PrepareFirstSink());
        for (int attempt = 0; attempt < c.attempts; ++attempt) {
            const size_t end = attempt == 0 && c.cutAt > 0 ? c.cutAt : body.size();
            ASSERT_TRUE(sink.OnBegin(static_cast<uint32_t>(body.size())));
            for (size_t pos = 0; pos < end; pos += c.chunk) {
                const size_t n = std::min<size_t>(c.chunk, end - pos);
                ASSERT_TRUE(sink.OnData(body.data() + pos, static_cast<uint32_t>(n)));
            }
            // The cut itself is the transfer's to notice; a refused end is the sink's.
            EXPECT_EQ(attempt == 1 || c.refuseFinish < 0, sink.OnFinish()) << "attempt " << attempt;
        }
        sink.ReportRest(c.status);
        const int64_t arrived = c.attempts == 1 && c.cutAt > 0 ? 5000 + c.cutAt : at;
        for (const DownloadTaskInfo& task : tasks) {
            const bool done = task.rangeStart + task.rangeLength <= arrived;
            EXPECT_EQ(1, made[task.name]) << task.name.c_str();
            EXPECT_EQ(1, reported[task.name]) << task.name.c_str();
            EXPECT_EQ(done ? 200 : c.status, status[task.name]) << task.name.c_str();
            if (sinks.count(task.name) == 0 || !done) continue;
            EXPECT_EQ(body.substr(task.rangeStart - 5000, task.rangeLength),
                      sinks[task.name]->data);
        }
        EXPECT_EQ(0u, held);
        EXPECT_LE(mostHeld, c.attempts > 1 ? 3u : 1u);
    }

    // No sink for any task: the request is not worth making, and each task gets the status.
    std::vector<DownloadTaskInfo> two = {Task(0, 10), Task(10, 10)};
    const auto segments = MergeIntoSegments(std::make_shared<VectorTaskSource>(two));
    std::vector<int32_t> statuses;
    OnDemandSegmentSink none(
        segments[0], [](const DownloadTaskInfo&) { return nullptr; },
        [&](const DownloadTaskInfo&, int32_t status) { statuses.push_back(status); });
    EXPECT_FALSE(none.PrepareFirstSink());
    none.ReportRest(-1);
    EXPECT_EQ((std::vector<int32_t>{-1, -1}), statuses);
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
