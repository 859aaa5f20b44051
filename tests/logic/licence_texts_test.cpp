// Which licence a run shows, and the text as the licence page shows and prints it.
#include <gtest/gtest.h>

#include <string>

#include "setup/install/licence_texts.h"

namespace {

TEST(LicenceLanguage, GermanSpeakingNationsGetTheGermanLicence) {
    EXPECT_EQ(LicenceLanguageCode(STRING("44"), 94), 49);
    EXPECT_EQ(LicenceLanguageCode(STRING("44"), 223), 49);
    EXPECT_EQ(LicenceLanguageCode(STRING("44"), 14), 49);
    EXPECT_EQ(LicenceLanguageCode(STRING("44"), 244), 44);
}

TEST(LicenceLanguage, WithoutTheNationOnlyTheLanguageLibraryDecides) {
    EXPECT_EQ(LicenceLanguageCode(STRING("12"), -1), 12);
    EXPECT_EQ(LicenceLanguageCode(STRING("49"), -1), 49);
    EXPECT_STREQ(LicenceFileName(49), "LIZENZ.TXT");
    EXPECT_STREQ(LicenceFileName(12), "LICENSEFR.TXT");
    EXPECT_STREQ(LicenceFileName(44), "LICENSE.TXT");
}

TEST(LicenceText, ProductTitleReplacedAndEveryLineEndingCrLf) {
    const STRING text =
        PrepareLicenceText(STRING("$PROGRAM licence\r\nline\nlast $PROGRAM"), STRING("App 5.9"));
    EXPECT_STREQ(text.Text(), "App 5.9 licence\r\nline\r\nlast App 5.9");
}

TEST(LicenceText, ANullTextOrTitleReadsAsEmpty) {
    EXPECT_STREQ(PrepareLicenceText(STRING(), STRING("App 5.9")).Text(), "");
    EXPECT_STREQ(PrepareLicenceText(STRING("for $PROGRAM\n"), STRING()).Text(), "for \r\n");
}

TEST(LicenceText, TheBuiltInTextsNameTheProgram) {
    const std::string english = EmbeddedLicenceText(44);
    const std::string german = EmbeddedLicenceText(49);
    EXPECT_NE(english.find("$PROGRAM"), std::string::npos);
    EXPECT_NE(german.find("$PROGRAM"), std::string::npos);
    EXPECT_NE(english, german);
    EXPECT_EQ(std::string(EmbeddedLicenceText(12)), english);
}

} // namespace
