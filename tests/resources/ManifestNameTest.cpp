#include <gtest/gtest.h>

#include "resources/ManifestName.h"

TEST(ManifestName, AcceptsPlainRelativeNames) {
    for (const wchar_t* name :
         {L"a.dat", L"sub\\b.txt", L"deep\\er\\c", L"a/b.dat", L"\u89D2\u8272.dat", L"..a", L"a..b",
          L".hidden", L"COM10", L"console.txt", L"name with blanks.txt"}) {
        EXPECT_TRUE(IsSafeManifestName(name)) << name;
    }
}

TEST(ManifestName, RefusesNamesThatLeaveTheirFolder) {
    for (const wchar_t* name : {L"",
                                L"\\x",
                                L"/x",
                                L"\\\\server\\share\\x",
                                L"C:\\x",
                                L"C:x",
                                L"..\\x",
                                L"a\\..\\..\\x",
                                L"a/../x",
                                L"..",
                                L".",
                                L"a\\.\\b",
                                L"...",
                                L".. ",
                                L"a\\ \\b",
                                L"a\\\\b",
                                L"a\\",
                                L"a.dat:stream",
                                L"\\\\?\\C:\\x",
                                L"a\tb",
                                L"a\nb",
                                L"a*",
                                L"a?",
                                L"a|b",
                                L"a<b",
                                L"a>b",
                                L"a\"b",
                                L"NUL",
                                L"nul.txt",
                                L"sub\\CON",
                                L"aux.dat",
                                L"COM1",
                                L"lpt9.x",
                                L"CONIN$",
                                L"prn \\x",
                                L"con.d\\x",
                                L"COM0"}) {
        EXPECT_FALSE(IsSafeManifestName(name)) << name;
    }
}
