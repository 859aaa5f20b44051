// The text encodings: what counts as UTF-8, the old code pages of package files and archive names, and the
// conversions to and from UTF-16.
#include <gtest/gtest.h>

#include <string>

#include "lib/textcodec.h"

using namespace TEXTCODEC;

TEST(Utf8, WellFormedTextIsAccepted) {
    for (const char* text : {"", "plain ASCII", "Ölkännchen 山", "Łukasz 山田", "\xF0\x9F\x98\x80 (U+1F600)",
                             "\xF4\x8F\xBF\xBF (U+10FFFF)", "\xEF\xBF\xBF (U+FFFF)", "\xED\x9F\xBF (U+D7FF)"})
        EXPECT_TRUE(IsUtf8(text)) << text;
}

TEST(Utf8, MalformedAndDisguisedSequencesAreRefused) {
    const struct {
        const char* Bytes;
        const char* Why;
    } cases[] = {
        {"a\xC0\xAF", "overlong '/' in two bytes"},
        {"\xE0\x80\xAF", "overlong '/' in three bytes"},
        {"\xF0\x80\x80\xAF", "overlong '/' in four bytes"},
        {"\xC1\xBF", "overlong in two bytes"},
        {"\xED\xA0\x80", "high surrogate"},
        {"\xED\xBF\xBF", "low surrogate"},
        {"\xF4\x90\x80\x80", "above U+10FFFF"},
        {"\xF5\x80\x80\x80", "lead byte beyond F4"},
        {"\xFF", "byte FF"},
        {"\xE5\xB1", "sequence cut short at the end"},
        {"\xE5\xB1x", "sequence cut short by ASCII"},
        {"\x80", "lone continuation byte"},
        {"\xC4rger", "code page 1252 text"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(IsUtf8(c.Bytes)) << c.Why;
}

TEST(MakerText, Utf8IsKeptAndCodePage1252Converted) {
    EXPECT_EQ(MakerText("Gr\xC3\xBC\xC3\x9F"
                        "e"),
              "Grüße");
    EXPECT_EQ(MakerText("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                        "e"),
              "Grüße")
        << "the byte-order mark goes";
    EXPECT_EQ(MakerText("\xEF\xBB\xBF"), "");
    EXPECT_EQ(MakerText("Gr\xFC\xDF"
                        "e \x80 5 \x84Zitat\x93"),
              "Grüße € 5 „Zitat“");
    EXPECT_EQ(MakerText("caf\xE9\n\xC4rger"), "café\nÄrger") << "one bad byte makes the whole file 1252";
    EXPECT_EQ(MakerText("\xEF\xBB\xBFok \xFF"), "ok \xEF\xBF\xBD") << "a marked file stays UTF-8";
}

TEST(CodePages, Cp437NamesOfOldArchives) {
    EXPECT_EQ(Utf8FromCodePage("\x99lk\x84nnchen \x8E\x81\xE1", 437), "Ölkännchen Äüß");
    EXPECT_EQ(Utf8FromCodePage("\xC9\xCD\xBB \xE0\xE3\xEA \xFF", 437), "╔═╗ απΩ \xC2\xA0");
    EXPECT_EQ(Utf8FromCodePage("docs/readme.txt", 437), "docs/readme.txt");
    EXPECT_EQ(Utf8FromCodePage("\x81\x8D\x8F\x90\x9D", 1252), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D")
        << "bytes 1252 leaves unassigned";
}

TEST(Utf16, ConvertsBothWaysWithSurrogatePairs) {
    const std::string text = "Ärger & Δ 山田 \xF0\x9F\x98\x80";
    const std::u16string wide = u"Ärger & Δ 山田 \U0001F600";
    EXPECT_EQ(Utf16FromUtf8(text), wide);
    EXPECT_EQ(Utf8FromUtf16(wide), text);
    EXPECT_EQ(wide.size(), 15u) << "U+1F600 takes two units";
}

TEST(Utf16, WhatCannotBeConvertedBecomesTheReplacementCharacter) {
    EXPECT_EQ(Utf16FromUtf8("a\xC0\xAF"
                            "b"),
              u"a\uFFFD\uFFFDb");
    EXPECT_EQ(Utf16FromUtf8("\xE5\xB1"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8FromUtf16(std::u16string(u"x") + char16_t(0xD800) + u"y"), "x\xEF\xBF\xBDy");
    EXPECT_EQ(Utf8FromUtf16(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(FoldCase, PairsOfLatinGreekAndCyrillicLettersMeet) {
    EXPECT_EQ(FoldCase(u"łukasz ärger ÿ"), FoldCase(u"ŁUKASZ ÄRGER Ÿ"));
    EXPECT_EQ(FoldCase(u"ĺľňźżž ā"), FoldCase(u"ĹĽŇŹŻŽ Ā"));
    EXPECT_EQ(FoldCase(u"δέλτα ς"), FoldCase(u"ΔέΛΤΑ Σ"));
    EXPECT_EQ(FoldCase(u"ёжик ђ"), FoldCase(u"ЁЖИК Ђ"));
    EXPECT_EQ(FoldCase(u"ａｂｃ"), FoldCase(u"ＡＢＣ"));
    EXPECT_NE(FoldCase(u"ß"), FoldCase(u"SS")) << "no expansion: one character stays one";
    EXPECT_NE(FoldCase(u"×"), FoldCase(u"÷"));
    EXPECT_EQ(FoldCase(u"山田 ×÷ 1"), u"山田 ×÷ 1");
}

TEST(Utf8Prefix, CutsBetweenCharacters) {
    const std::string name = "ab山田"; // 2 + 3 + 3 bytes
    EXPECT_EQ(Utf8Prefix(name, 100), 8u);
    EXPECT_EQ(Utf8Prefix(name, 8), 8u);
    EXPECT_EQ(Utf8Prefix(name, 7), 5u);
    EXPECT_EQ(Utf8Prefix(name, 5), 5u);
    EXPECT_EQ(Utf8Prefix(name, 4), 2u);
    EXPECT_EQ(Utf8Prefix(name, 0), 0u);
}
