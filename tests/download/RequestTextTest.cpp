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

// Short bodies and ignored ranges are covered through the transfer; what only the window
// sees is a partial answer for another range than the one asked.
TEST(ResponseWindow, PartialAnswerForAnotherRangeIsRefused) {
    EXPECT_FALSE(ResponseBodyWindow(206, 100, 4, 4, 101).Acceptable());
    EXPECT_TRUE(ResponseBodyWindow(206, 100, 4, 4, 100).Acceptable());
    EXPECT_TRUE(ResponseBodyWindow(206, 100, 4, 4, -1).Acceptable());
}

}  // namespace
