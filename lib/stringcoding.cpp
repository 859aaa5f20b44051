// STRING's encodings (hexadecimal, Base64, escapes) and WIDESTRING, the UTF-16 form of a text.
#include "lib/strings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "lib/orvik.h"
#include "lib/textcodec.h"

// ---------------------------------------------------------------------------------------------------------
// Encodings

namespace {

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<unsigned char>(std::tolower(c));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

const char Base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char Base64Invalid = 0xFF;
constexpr unsigned char Base64Pad = 0xFE;

struct BASE64TABLE {
    unsigned char Value[256];
    BASE64TABLE() {
        std::memset(Value, Base64Invalid, sizeof(Value));
        Value[static_cast<unsigned char>('=')] = Base64Pad;
        for (int i = 0; i < 64; ++i)
            Value[static_cast<unsigned char>(Base64Alphabet[i])] = static_cast<unsigned char>(i);
    }
};

// Collects output bytes in a small work buffer and appends them to the target in batches.
class BYTESINK {
public:
    explicit BYTESINK(STRING& target) : Target(target) {}
    ~BYTESINK() { Flush(); }
    void Put(unsigned char c) {
        Work[Pending++] = c;
        if (Pending >= 126)
            Flush();
    }
    void Flush() {
        Target.Append(reinterpret_cast<const char*>(Work), Pending);
        Pending = 0;
    }

private:
    STRING& Target;
    unsigned char Work[128];
    int Pending = 0;
};

} // namespace

STRING STRING::ToHex() const {
    STRING result;
    if (IsEmpty())
        return result;
    static const char digits[] = "0123456789abcdef";
    result.Make(StrLen * 2);
    for (int i = 0; i < StrLen; ++i) {
        result.Buffer[2 * i] = static_cast<unsigned char>(digits[Buffer[i] >> 4]);
        result.Buffer[2 * i + 1] = static_cast<unsigned char>(digits[Buffer[i] & 15]);
    }
    return result;
}

STRING STRING::FromHex() const {
    STRING result;
    result.MakeNotNull();
    BYTESINK sink(result);
    for (int i = 0; i + 1 < StrLen; i += 2) {
        int hi = HexDigit(Buffer[i]);
        int lo = HexDigit(Buffer[i + 1]);
        // A pair that is not hexadecimal is no byte of the data; skip it rather than invent one.
        if (hi >= 0 && lo >= 0)
            sink.Put(static_cast<unsigned char>(hi * 16 + lo));
    }
    sink.Flush();
    return result;
}

STRING STRING::ToBase64(bool linebreaks) const {
    STRING result;
    result.MakeNotNull();
    BYTESINK sink(result);
    int column = 0;
    auto put = [&](unsigned char c) {
        sink.Put(c);
        if (linebreaks && ++column == 76) {
            sink.Put('\r');
            sink.Put('\n');
            column = 0;
        }
    };
    for (int i = 0; i < StrLen; i += 3) {
        const int rest = StrLen - i;
        const unsigned b0 = Buffer[i];
        const unsigned b1 = rest > 1 ? Buffer[i + 1] : 0;
        const unsigned b2 = rest > 2 ? Buffer[i + 2] : 0;
        const unsigned triple = (b0 << 16) | (b1 << 8) | b2;
        put(static_cast<unsigned char>(Base64Alphabet[(triple >> 18) & 63]));
        put(static_cast<unsigned char>(Base64Alphabet[(triple >> 12) & 63]));
        put(static_cast<unsigned char>(rest > 1 ? Base64Alphabet[(triple >> 6) & 63] : '='));
        put(static_cast<unsigned char>(rest > 2 ? Base64Alphabet[triple & 63] : '='));
    }
    if (linebreaks && column > 0) {
        sink.Put('\r');
        sink.Put('\n');
    }
    sink.Flush();
    return result;
}

STRING STRING::FromBase64() const {
    static const BASE64TABLE table;
    STRING result;
    result.MakeNotNull();
    BYTESINK sink(result);
    unsigned char group[4];
    int have = 0;
    for (int i = 0; i < StrLen; ++i) {
        const unsigned char v = table.Value[Buffer[i]];
        if (v == Base64Invalid)
            continue;
        if (v == Base64Pad) {
            // "=" ends the data: two characters give one byte, three give two.
            if (have >= 2)
                sink.Put(static_cast<unsigned char>((group[0] << 2) | (group[1] >> 4)));
            if (have == 3)
                sink.Put(static_cast<unsigned char>((group[1] << 4) | (group[2] >> 2)));
            break;
        }
        group[have++] = v;
        if (have == 4) {
            sink.Put(static_cast<unsigned char>((group[0] << 2) | (group[1] >> 4)));
            sink.Put(static_cast<unsigned char>((group[1] << 4) | (group[2] >> 2)));
            sink.Put(static_cast<unsigned char>((group[2] << 6) | group[3]));
            have = 0;
        }
    }
    sink.Flush();
    return result;
}

STRING STRING::Unescape(bool lenient) const {
    STRING result;
    if (Buffer == nullptr)
        return result;
    result.MakeNotNull();
    BYTESINK sink(result);
    for (int i = 0; i < StrLen; ++i) {
        const unsigned char c = Buffer[i];
        if (c != '\\') {
            sink.Put(c);
            continue;
        }
        if (i + 1 >= StrLen) {
            // A backslash that ends the text escapes nothing.
            if (lenient)
                sink.Put(c);
            else
                Assert(false, "FALSE", __FILE__, __LINE__, c_str(), false);
            continue;
        }
        const unsigned char e = Buffer[++i];
        switch (e) {
        case '0':
            sink.Put(0);
            break;
        case '\\':
            sink.Put('\\');
            break;
        case 'n':
            sink.Put('\n');
            break;
        case 'r':
            sink.Put('\r');
            break;
        case 't':
            sink.Put('\t');
            break;
        case 'z':
            sink.Put(26);
            break;
        case 'x': {
            const unsigned char d0 = i + 1 < StrLen ? Buffer[i + 1] : 0;
            const unsigned char d1 = i + 2 < StrLen ? Buffer[i + 2] : 0;
            const char xdigit[2] = {static_cast<char>(d0), static_cast<char>(d1)};
            ORVIK_ASSERT(isxdigit(xdigit[0]));
            ORVIK_ASSERT(isxdigit(xdigit[1]));
            sink.Put(static_cast<unsigned char>(std::max(HexDigit(d0), 0) * 16 + std::max(HexDigit(d1), 0)));
            i += std::min(2, StrLen - 1 - i);
            break;
        }
        default:
            if (lenient) {
                sink.Put('\\');
            } else {
                Assert(false, "FALSE", __FILE__, __LINE__, c_str(), false);
            }
            sink.Put(e);
            break;
        }
    }
    sink.Flush();
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// WIDESTRING

WIDESTRING::WIDESTRING(const char* text, int length, int codepage) {
    Wide.SetFlags(STRINGFLAG_WIDE);
    if (text == nullptr)
        return;
    if (length < 0)
        length = static_cast<int>(std::strlen(text));
    const std::string_view bytes(text, static_cast<size_t>(length));
    std::u16string units;
    if (codepage == STRING_DEFAULT_CODEPAGE)
        units = TEXTCODEC::ToWide(bytes);
    else if (codepage == static_cast<int>(TEXTCODEC::CODEPAGE_UTF8))
        units = TEXTCODEC::Utf16FromUtf8(bytes);
    else
        units = TEXTCODEC::Utf16FromUtf8(TEXTCODEC::Utf8FromCodePage(bytes, static_cast<unsigned>(codepage)));
    Wide.Make(static_cast<int>(units.size() * 2));
    unsigned char* out = Wide.Data();
    if (out == nullptr)
        return;
    for (size_t i = 0; i < units.size(); ++i) {
        out[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
        out[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
    }
}

WIDESTRING::~WIDESTRING() = default;
