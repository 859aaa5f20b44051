// The program's 8-bit text on Windows. The test program has no UTF-8 manifest, so it runs with the
// system's own code page (1252 in the test prefix): the path that Windows before 10 1903 takes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "lib/textcodec.h"

using namespace TEXTCODEC;

TEST(ActiveCodePage, IsTheSystemsOwnWithoutTheManifest) {
    ASSERT_EQ(ActiveCodePage(), GetACP());
    ASSERT_EQ(ActiveCodePage(), 1252u) << "the test prefix runs with code page 1252";
}

TEST(ActiveCodePage, TextTravelsThroughTheSystemsCodePage) {
    EXPECT_EQ(FromUtf8("Ärger €"), "\xC4rger \x80");
    EXPECT_EQ(ToUtf8("\xC4rger \x80"), "Ärger €");
    EXPECT_EQ(ToWide("\xC4rger"), u"Ärger");
    EXPECT_EQ(FromWide(u"Ärger"), "\xC4rger");
}

TEST(ActiveCodePage, CharactersTheCodePageLacksNeverBecomeLookAlikes) {
    EXPECT_EQ(FromUtf8("山田"), "??");
    // Best-fit mapping would make a division slash a separator and a fullwidth full stop a dot.
    const std::string slash = FromWide(u"a\u2215b");
    EXPECT_EQ(slash.find('/'), std::string::npos) << slash;
    EXPECT_EQ(FromWide(u"\uFF0E\uFF0E"), "??");
}

TEST(CodePageTables, AsWindowsConvertsThem) {
    for (unsigned codepage : {1252u, 437u}) {
        for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
            const char in = static_cast<char>(byte);
            wchar_t unit = 0;
            ASSERT_EQ(MultiByteToWideChar(codepage, 0, &in, 1, &unit, 1), 1);
            EXPECT_EQ(Utf16FromUtf8(Utf8FromCodePage(std::string(1, in), codepage)),
                      std::u16string(1, static_cast<char16_t>(unit)))
                << "code page " << codepage << " byte " << byte;
        }
    }
}
