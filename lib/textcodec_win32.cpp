// The program's 8-bit text on Windows is in the active code page: UTF-8 where the manifest's setting is
// honoured (Windows 10 1903 and later, Wine), the system's own code page before.
#include "lib/textcodec.h"

#include <windows.h>

namespace TEXTCODEC {

unsigned ActiveCodePage() {
    return GetACP();
}

std::u16string ToWide(std::string_view text) {
    if (ActiveCodePage() == CODEPAGE_UTF8)
        return Utf16FromUtf8(text);
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::u16string wide(static_cast<size_t>(units > 0 ? units : 0), u'\0');
    if (units > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(&wide[0]), units);
    return wide;
}

std::string FromWide(std::u16string_view wide) {
    if (ActiveCodePage() == CODEPAGE_UTF8)
        return Utf8FromUtf16(wide);
    if (wide.empty())
        return {};
    const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
    const int length = static_cast<int>(wide.size());
    const int bytes =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, length, &text[0], bytes, nullptr, nullptr);
    return text;
}

std::string FromUtf8(std::string_view utf8) {
    if (ActiveCodePage() == CODEPAGE_UTF8)
        return std::string(utf8);
    return FromWide(Utf16FromUtf8(utf8));
}

std::string ToUtf8(std::string_view text) {
    if (ActiveCodePage() == CODEPAGE_UTF8)
        return std::string(text);
    return Utf8FromUtf16(ToWide(text));
}

} // namespace TEXTCODEC
