// Text encodings: UTF-8 checked and converted to and from UTF-16, the two 8-bit code pages that old package
// files and archives are written in (1252 and 437), and the program's own 8-bit text (the active code page:
// UTF-8 wherever the manifest is honoured, otherwise whatever code page the system runs with).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace TEXTCODEC {

constexpr unsigned CODEPAGE_UTF8 = 65001;

// True when bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no
// sequence cut short.
bool IsUtf8(std::string_view bytes);

// Text of code page 1252 or 437 as UTF-8. The five bytes 1252 leaves unassigned stand for the control
// character of the same number, as Windows reads them. Any other code page is taken as Latin-1.
std::string Utf8FromCodePage(std::string_view bytes, unsigned codepage);

// A text file the product maker ships, as UTF-8: UTF-8 is taken as it is (a leading byte-order mark is
// dropped); anything else was written in code page 1252, as every package was before, and is converted.
std::string MakerText(std::string_view bytes);

// UTF-8 to UTF-16 and back; what cannot be converted (a malformed sequence, a lone surrogate) becomes
// U+FFFD, the replacement character.
std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromUtf16(std::u16string_view utf16);

// UTF-16 text with letter case folded (to upper case) as file names compare on Windows, for the scripts that
// have case in file names met in practice: Latin (Basic, Latin-1, Extended-A), Greek, Cyrillic and the
// fullwidth Latin letters. Other characters stay as they are.
std::u16string FoldCase(std::u16string_view text);

// The length of the longest start of utf8 that has at most maxbytes bytes and ends between two characters.
size_t Utf8Prefix(std::string_view utf8, size_t maxbytes);

// ---- The program's 8-bit text (textcodec_win32.cpp, textcodec_posix.cpp) ---------------------------------

// The code page of every 8-bit text of the program and of the system's 8-bit calls: GetACP() on Windows
// (65001 when the manifest's setting is honoured), UTF-8 natively.
unsigned ActiveCodePage();

// 8-bit text of the program as UTF-16, and back. Characters the active code page lacks become "?" on the
// way back; never a look-alike ("best fit"), which could turn a harmless name into a separator or "..".
std::u16string ToWide(std::string_view text);
std::string FromWide(std::u16string_view wide);

// UTF-8 as the program's 8-bit text and back: unchanged where the active code page is UTF-8.
std::string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::string_view text);

} // namespace TEXTCODEC
