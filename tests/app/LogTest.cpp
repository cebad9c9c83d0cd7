// The log: one line per event whatever the values hold, and a file that stays bounded.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/FileServices.h"
#include "app/Log.h"
#include "tests/app/TestFolder.h"

TEST(LogLine, ValuesStayOnTheirLineAndReadBack) {
    struct Case {
        std::string value;
        std::string shown;
    };
    const Case cases[] = {
        {"200", "200"},
        {"http://h:1/a?t=1", "\"http://h:1/a?t=1\""},  // '=' would read as a new field
        {"", "\"\""},
        {"a b", "\"a b\""},
        {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
        {"one\r\ntwo\tx", "\"one\\r\\ntwo\\tx\""},
        {std::string("nul\0bell\a", 9), "\"nul\\x00bell\\x07\""},
        {"\xE5\x8A\xA0\xE8\xBD\xBD", "\xE5\x8A\xA0\xE8\xBD\xBD"},       // UTF-8 passes as it is
        {"\xC0\xAF|\xE5\x8A|\xFF", "\"\\xC0\\xAF|\\xE5\\x8A|\\xFF\""},  // not UTF-8: escaped
        {"\xED\xA0\x80", "\"\\xED\\xA0\\x80\""},                        // a surrogate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(c.shown, QuoteLogValue(c.value));
    }
    EXPECT_EQ("\xF0\x9F\x98\x80|\xEF\xBF\xBD|\xE4\xB8\xAD",
              WideToUtf8(L"\xD83D\xDE00|\xDC00|\x4E2D"));

    LogTime time;
    time.year = 2026, time.month = 3, time.day = 4, time.hour = 5, time.minute = 6;
    time.second = 7, time.millisecond = 8;
    const LogField fields[] = {{"url", L"http://h/x y"}, {"status", -3}, {"retry", true}};
    EXPECT_EQ("2026-03-04T05:06:07.008Z 12/34 http url=\"http://h/x y\" status=-3 retry=true\r\n",
              FormatLogLine(time, 12, 34, "http", fields, 3));
}

TEST(Log, RotatesPastItsLimitAndKeepsAFewOldFiles) {
    TestFolder folder(L"log");
    const std::wstring path = folder.Path() + L"logs\\launcher.log";
    ASSERT_TRUE(OpenLog(path, 1000, 3));
    const std::string filler(100, 'x');
    for (int i = 0; i < 200; ++i) LogEvent("line", {{"n", i}, {"filler", filler}});
    CloseLog();
    LogEvent("after", {});  // dropped: no log is open

    std::string bytes;
    uint64_t total = 0;
    for (int n = 0; n <= 3; ++n) {
        const std::wstring file = n == 0 ? path : RotatedLogPath(path, n);
        SCOPED_TRACE(n);
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        EXPECT_LE(bytes.size(), 1000u);
        if (n > 0) {
            EXPECT_GT(bytes.size(), 500u);  // a rotated file was full
        }
        EXPECT_EQ("\r\n", bytes.substr(bytes.size() - 2));
        total += bytes.size();
    }
    EXPECT_FALSE(FileExists(RotatedLogPath(path, 4)));
    EXPECT_LE(total, 4000u);
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_NE(std::string::npos, bytes.find(" line n=199 filler="));
    EXPECT_EQ(std::string::npos, bytes.find("after"));
    EXPECT_EQ(L"a\\launcher.2.log", RotatedLogPath(L"a\\launcher.log", 2));
}
