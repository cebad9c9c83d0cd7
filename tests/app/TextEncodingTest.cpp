// The UTF-8 test, conversions through code page 936, and the MD5 / Base64 known answers.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/Crypto.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "app/Utf8Check.h"

namespace {

int Utf8(const std::string& bytes) {
    return IsUtf8Text(reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<int32_t>(bytes.size()));
}

}  // namespace

TEST(IsUtf8Text, NeedsAWellFormedMultiByteSequence) {
    EXPECT_EQ(0, Utf8("abc"));
    EXPECT_EQ(1, Utf8("\xC3\xA9"));
    EXPECT_EQ(0, Utf8("\xC3"));
    EXPECT_EQ(0, Utf8("\xA9"));
    EXPECT_EQ(0, Utf8("\xE4\xB8"));
    EXPECT_EQ(1, Utf8("a\xE4\xB8\xAD"));
    EXPECT_EQ(0, Utf8("\xE4\xB8\xAD"
                      "a\xB8"));  // a stray continuation byte later on
    EXPECT_EQ(0, Utf8("\xE4"
                      "a\xAD"));                     // a lead byte followed by ASCII
    EXPECT_EQ(1, Utf8("\xFC\x80\x80\x80\x80\x80"));  // lenient: old five-continuation form
    EXPECT_EQ(0, Utf8("\xFF\x80\x80\x80"));          // FF expects four
    EXPECT_EQ(0, IsUtf8Text(reinterpret_cast<const unsigned char*>("\xC3\xA9"), 0));
    EXPECT_EQ(0, IsUtf8Text(reinterpret_cast<const unsigned char*>("\xC3\xA9"), -1));
}

TEST(TextConvert, NarrowTextIsCodePage936) {
    ASSERT_EQ(936u, ::GetACP());
    EXPECT_EQ("\xD6\xD0\xCE\xC4", TextToNarrow(L"\u4E2D\u6587"));
    EXPECT_EQ(L"\u4E2D\u6587", NarrowToText("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ("", TextToNarrow(L""));
    EXPECT_EQ(L"", NarrowToText(""));
}

TEST(TextConvert, Utf8ToTextPassesThroughTheNarrowCodePage) {
    std::wstring out = L"old";
    EXPECT_EQ(1, Utf8ToText("\xE4\xB8\xAD\xE6\x96\x87 ok", &out));
    EXPECT_EQ(L"\u4E2D\u6587 ok", out);
    // Thai is not in code page 936: it comes out as the code page's replacement character.
    EXPECT_EQ(1, Utf8ToText("a\xE0\xB8\x81z", &out));
    EXPECT_EQ(L"a?z", out);
    EXPECT_EQ(0, Utf8ToText(nullptr, &out));
    EXPECT_EQ(0, Utf8ToText("x", nullptr));
    // The exact conversion keeps what the narrow code page cannot hold.
    EXPECT_EQ(L"a\u0E01z", Utf8ToTextExact("a\xE0\xB8\x81z"));
}

TEST(TextConvert, TextToUtf8HasNoMarkAndNoTerminator) {
    std::string out = "old";
    EXPECT_EQ(1, TextToUtf8(L"\u4E2D\u0E01!", &out));
    EXPECT_EQ("\xE4\xB8\xAD\xE0\xB8\x81!", out);
    EXPECT_EQ(1, TextToUtf8(L"", &out));
    EXPECT_EQ("", out);
    EXPECT_EQ(0, TextToUtf8(nullptr, &out));
}

TEST(Crypto, Md5KnownAnswers) {
    EXPECT_EQ("D41D8CD98F00B204E9800998ECF8427E", BytesToHex(Md5Digest("")));
    EXPECT_EQ("900150983CD24FB0D6963F7D28E17F72", BytesToHex(Md5Digest("abc")));
    EXPECT_EQ("35B9AB5A36F3234DD26DB357FD4A0DC1", BytesToHex(Md5Digest("000000000000")));

    Md5Hasher hasher;
    EXPECT_TRUE(hasher.Update("a", 1));
    EXPECT_TRUE(hasher.Update("bc", 2));
    EXPECT_TRUE(hasher.Update("", 0));
    EXPECT_EQ(Md5Digest("abc"), hasher.Finish());
    EXPECT_EQ("", hasher.Finish());  // the value is handed out once
}

TEST(Crypto, Base64KnownAnswers) {
    EXPECT_EQ("", Base64Encode(""));
    EXPECT_EQ("Zg==", Base64Encode("f"));
    EXPECT_EQ("Zm8=", Base64Encode("fo"));
    EXPECT_EQ("Zm9v", Base64Encode("foo"));
    EXPECT_EQ("Zm9vYmFy", Base64Encode("foobar"));
    EXPECT_EQ("AP8+/w==", Base64Encode(std::string("\x00\xFF\x3E\xFF", 4)));
    EXPECT_EQ("YXV0aF9rZXk9LHVpZD0sZXh0cmFJbmZvPQ==", Base64Encode("auth_key=,uid=,extraInfo="));
    // Long input stays on one line.
    const std::string encoded = Base64Encode(std::string(300, 'x'));
    EXPECT_EQ(400u, encoded.size());
    EXPECT_EQ(std::string::npos, encoded.find_first_of("\r\n"));
}
