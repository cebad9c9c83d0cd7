// Request texts (cache-busting URL, Range line, header sets) and the response body window.
#include <gtest/gtest.h>

#include "download/ResponseBodyWindow.h"
#include "download/TransferRequestText.h"

namespace {

TEST(RequestText, CacheBustingParameter) {
    EXPECT_EQ(L"http://h/a/b.bin?t=77", PrepareRequestUrl(L"http://h/a\\b.bin", 77));
    EXPECT_EQ(L"http://h/f?a=1&t=5", PrepareRequestUrl(L"http://h/f?a=1", 5));
    EXPECT_EQ(L"http://h/f?t=5", PrepareRequestUrl(L"http://h/f?", 5));
    EXPECT_EQ(L"http://h/f?xt=5", PrepareRequestUrl(L"http://h/f?x", 5));
    EXPECT_EQ(L"http://h/a=b?t=5", PrepareRequestUrl(L"http://h/a=b", 5));
    EXPECT_EQ(L"u?t=17179869184", PrepareRequestUrl(L"u", 17179869184LL));
}

TEST(RequestText, RangeLineAndHeaderBlock) {
    EXPECT_EQ(L"Range: bytes=100-149\r\n", RangeHeaderLine(100, 50));
    EXPECT_EQ(L"Range: bytes=0-0\r\n", RangeHeaderLine(0, 1));
    EXPECT_EQ(L"Range: bytes=8589934592-12884901886\r\n",
              RangeHeaderLine(8589934592LL, 0xFFFFFFFFu));
    EXPECT_EQ(L"a\r\nb\r\n", BuildHeaderBlock({L"a", L"b"}));
    const auto form = FormHeaderLines();
    const auto json = JsonHeaderLines();
    ASSERT_EQ(3u, form.size());
    EXPECT_EQ(L"Accept: */*", form[0]);
    EXPECT_EQ(form[1], json[1]);
    EXPECT_EQ(L"Content-Type:application/x-www-form-urlencoded;charset=UTF-8", form[2]);
    EXPECT_EQ(L"Content-Type:application/json;charset=UTF-8", json[2]);
}

TEST(ResponseWindow, ContentRangeParsing) {
    EXPECT_EQ(100, ParseContentRangeStart(L"bytes 100-149/1000"));
    EXPECT_EQ(0, ParseContentRangeStart(L" Bytes 0-0/*"));
    EXPECT_EQ(-1, ParseContentRangeStart(L"bytes */1000"));
    EXPECT_EQ(-1, ParseContentRangeStart(L"items 1-2/3"));
    EXPECT_EQ(-1, ParseContentRangeStart(L""));
    EXPECT_EQ(-1, ParseContentRangeStart(L"bytes 99999999999999999999-1/2"));
}

// Feeds the body in pieces and returns what the sink would get.
std::string Feed(ResponseBodyWindow& window, const std::string& body, size_t piece) {
    std::string out;
    for (size_t at = 0; at < body.size() && !window.Done(); at += piece) {
        const std::string part = body.substr(at, piece);
        uint32_t skip = 0, take = 0;
        window.Next(static_cast<uint32_t>(part.size()), &skip, &take);
        out += part.substr(skip, take);
    }
    return out;
}

TEST(ResponseWindow, WholeBodyAgainstContentLength) {
    ResponseBodyWindow full(200, -1, 0, 6, -1);
    EXPECT_EQ(6u, full.SinkLength());
    EXPECT_EQ("abcdef", Feed(full, "abcdef", 4));
    EXPECT_TRUE(full.Complete());

    ResponseBodyWindow cut(200, -1, 0, 10, -1);
    Feed(cut, "abcdef", 4);
    EXPECT_FALSE(cut.Complete());

    ResponseBodyWindow unknown(200, -1, 0, -1, -1);  // no Content-Length: the end is the end
    EXPECT_EQ(0u, unknown.SinkLength());
    EXPECT_EQ("abc", Feed(unknown, "abc", 1));
    EXPECT_TRUE(unknown.Complete());
}

TEST(ResponseWindow, PartialContentIsCappedAndChecked) {
    ResponseBodyWindow exact(206, 100, 4, 4, 100);
    EXPECT_EQ("wxyz", Feed(exact, "wxyz", 3));
    EXPECT_TRUE(exact.Complete());

    ResponseBodyWindow longer(206, 100, 4, -1, -1);  // more than asked: the rest is dropped
    EXPECT_EQ("wxyz", Feed(longer, "wxyz!!!", 5));
    EXPECT_TRUE(longer.Done());

    ResponseBodyWindow shorter(206, 100, 4, -1, 100);
    Feed(shorter, "wx", 5);
    EXPECT_FALSE(shorter.Complete());

    EXPECT_FALSE(ResponseBodyWindow(206, 100, 4, 4, 101).Acceptable());
}

TEST(ResponseWindow, IgnoredRangeDeliversExactlyTheRange) {
    const std::string file = "0123456789";
    for (size_t piece : {1u, 3u, 4u, 64u}) {
        ResponseBodyWindow window(200, 3, 4, 10, -1);
        EXPECT_EQ(4u, window.SinkLength());
        EXPECT_EQ("3456", Feed(window, file, piece)) << piece;
        EXPECT_TRUE(window.Complete());
    }
    ResponseBodyWindow beyond(200, 8, 4, 10, -1);  // the file ends inside the range
    EXPECT_EQ("89", Feed(beyond, file, 4));
    EXPECT_FALSE(beyond.Complete());

    ResponseBodyWindow empty(200, 3, 0, 10, -1);
    EXPECT_TRUE(empty.Done());
    EXPECT_TRUE(empty.Complete());
}

}  // namespace
