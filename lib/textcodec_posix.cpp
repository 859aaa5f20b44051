// Natively the program's text is UTF-8, as the file systems and terminals it meets expect.
#include "lib/textcodec.h"

namespace TEXTCODEC {

unsigned ActiveCodePage() {
    return CODEPAGE_UTF8;
}

std::u16string ToWide(std::string_view text) {
    return Utf16FromUtf8(text);
}

std::string FromWide(std::u16string_view wide) {
    return Utf8FromUtf16(wide);
}

std::string FromUtf8(std::string_view utf8) {
    return std::string(utf8);
}

std::string ToUtf8(std::string_view text) {
    return std::string(text);
}

} // namespace TEXTCODEC
