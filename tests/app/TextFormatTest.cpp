// Token splitting, hexadecimal text and the display texts of sizes and durations.
#include <gtest/gtest.h>

#include "app/TextFormat.h"

namespace {

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& delimiters) {
    std::vector<std::wstring> out;
    EXPECT_EQ(1, SplitTokens(text, delimiters, &out));
    return out;
}

using Tokens = std::vector<std::wstring>;

}  // namespace

TEST(SplitTokens, SkipsRunsOfDelimitersAndTrimsTokens) {
    EXPECT_EQ((Tokens{L"a", L"b", L"c"}), Split(L"a|b||c", L"|"));
    EXPECT_EQ((Tokens{L"a"}), Split(L"|a|", L"|"));
    EXPECT_EQ((Tokens{L"x", L"y"}), Split(L" x | y ", L"|"));
    EXPECT_EQ((Tokens{L"k", L"v", L"w"}), Split(L"k=v;w", L"=;"));
    EXPECT_EQ((Tokens{L"a\tb"}), Split(L"\t a\tb \r\n", L"|"));
}

TEST(SplitTokens, WhiteSpaceTokenEndsTheSplit) {
    EXPECT_EQ((Tokens{L"a"}), Split(L"a| |b", L"|"));
    EXPECT_TRUE(Split(L"", L"|").empty());
    EXPECT_TRUE(Split(L"|||", L"|").empty());
}

TEST(SplitTokens, AppendsToTheGivenListAndRefusesMissingArguments) {
    std::vector<std::wstring> out{L"old"};
    EXPECT_EQ(1, SplitTokens(L"new", L" ", &out));
    EXPECT_EQ((Tokens{L"old", L"new"}), out);
    EXPECT_EQ(0, SplitTokens(L"a b", L" ", nullptr));
    EXPECT_EQ(0, SplitTokens(L"a b", L"", &out));
}

TEST(BytesToHex, UpperCaseDigitsWithoutSeparators) {
    EXPECT_EQ("00AB7F", BytesToHex(std::string("\x00\xAB\x7F", 3)));
    EXPECT_EQ("FF10", BytesToHex("\xFF\x10"));
    EXPECT_EQ("", BytesToHex(""));
}

TEST(FormatByteSize, UnitsAndBoundaries) {
    EXPECT_EQ(L"1 KB", FormatByteSize(-5));
    EXPECT_EQ(L"1 KB", FormatByteSize(0));
    EXPECT_EQ(L"1 KB", FormatByteSize(1023));
    EXPECT_EQ(L"2KB", FormatByteSize(1024));
    EXPECT_EQ(L"513KB", FormatByteSize(524288));
    EXPECT_EQ(L"1024KB", FormatByteSize(1048575));
    EXPECT_EQ(L"1.00MB", FormatByteSize(1048576));
    EXPECT_EQ(L"1.50MB", FormatByteSize(1572864));
    EXPECT_EQ(L"1024.00MB", FormatByteSize(1073741823));
    EXPECT_EQ(L"1.00G", FormatByteSize(1073741824));
    EXPECT_EQ(L"8589934592.00G", FormatByteSize(INT64_MAX));
}

TEST(FormatDuration, SecondsMinutesHours) {
    EXPECT_EQ(L"-3\u79D2", FormatDuration(-3));
    EXPECT_EQ(L"59\u79D2", FormatDuration(59));
    EXPECT_EQ(L"1\u52060\u79D2", FormatDuration(60));
    EXPECT_EQ(L"59\u520659\u79D2", FormatDuration(3599));
    EXPECT_EQ(L"1.00\u5C0F\u65F6", FormatDuration(3600));
    EXPECT_EQ(L"1.50\u5C0F\u65F6", FormatDuration(5400));
}
