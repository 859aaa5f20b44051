// The code-page tables against the C library's converter, an implementation made independently of them.
#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

#include "lib/textcodec.h"

namespace {

// One byte of codepage through iconv as UTF-8; empty when iconv has no character for it.
std::string ViaIconv(const char* codepage, unsigned char byte) {
    iconv_t converter = iconv_open("UTF-8", codepage);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return "<no converter " + std::string(codepage) + ">";
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* from = in;
    char* to = out;
    size_t inleft = 1, outleft = sizeof out;
    const size_t done = iconv(converter, &from, &inleft, &to, &outleft);
    iconv_close(converter);
    return done == static_cast<size_t>(-1) ? std::string() : std::string(out, sizeof out - outleft);
}

void ExpectTableMatchesIconv(unsigned codepage, const char* name) {
    for (unsigned byte = 0x20; byte <= 0xFF; ++byte) {
        const std::string expected = ViaIconv(name, static_cast<unsigned char>(byte));
        const std::string ours =
            TEXTCODEC::Utf8FromCodePage(std::string(1, static_cast<char>(byte)), codepage);
        if (expected.empty()) // unassigned in the code page: the control character of the same number
            EXPECT_EQ(TEXTCODEC::Utf16FromUtf8(ours), std::u16string(1, char16_t(byte)))
                << name << " " << byte;
        else
            EXPECT_EQ(ours, expected) << name << " byte " << byte;
    }
}

} // namespace

TEST(CodePageTables, Cp1252AsTheCLibraryConvertsIt) {
    ExpectTableMatchesIconv(1252, "CP1252");
}

TEST(CodePageTables, Cp437AsTheCLibraryConvertsIt) {
    ExpectTableMatchesIconv(437, "CP437");
}
