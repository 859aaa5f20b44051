// libFuzzer target: arbitrary bytes through the foundation library's text parsers and encoders.
//   - HASH parsing of the "setup.cfg" text form; the table is then walked: every key and value readable,
//     keys sorted with letter case ignored, every key found again by IndexOf.
//   - STRINGARRAY split on "|" and ";": one piece more than there are delimiters, and the pieces joined
//     with their delimiters give back the input.
//   - FromBase64 of the raw bytes; ToBase64 (with and without line breaks) -> FromBase64 and
//     ToHex -> FromHex give back the input byte for byte.
//   - Lenient Unescape, whose result is never longer than its input.
//   - Text encodings: a maker's text file always becomes UTF-8 (and UTF-8 input stays as it is, but for a
//     byte-order mark); UTF-8 -> UTF-16 -> UTF-8 gives back UTF-8 input and turns any input into UTF-8;
//     a cut by Utf8Prefix leaves UTF-8 input UTF-8.
// Failed assertions of the library are expected for malformed input (bad escapes, lines without "=") and
// only recorded; a broken invariant traps, so it counts as a crash like any sanitizer report. Each failed
// assertion also appends to "assert.log" in the working directory: scripts/fuzz.sh runs the target in a
// folder where that name is a folder, so nothing is written.
#include "lib/hash.h"
#include "lib/orvik.h"
#include "lib/stringarray.h"
#include "lib/textcodec.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool SameBytes(const STRING& s, const uint8_t* data, size_t size) {
    return static_cast<size_t>(s.Length()) == size && (size == 0 || std::memcmp(s.Data(), data, size) == 0);
}

void CheckHash(const STRING& input) {
    const HASH hash(input);
    const int count = hash.Count();
    const STRING* previous = nullptr;
    for (int i = 0; i < count; ++i) {
        const STRING* key = hash.KeyAt(i);
        const STRING* value = hash.ValueAt(i);
        if (key == nullptr || value == nullptr)
            __builtin_trap();
        // Every byte of both must be readable (the sanitizer checks the reads).
        volatile unsigned sum = 0;
        for (int k = 0; k < key->Length(); ++k)
            sum = sum + static_cast<unsigned char>(key->Data()[k]);
        for (int k = 0; k < value->Length(); ++k)
            sum = sum + static_cast<unsigned char>(value->Data()[k]);
        if (previous != nullptr && StringCompareNoCase(previous->Text(), key->Text()) > 0)
            __builtin_trap();
        // Look-ups find the first of equal keys, which is at or before this one.
        const int found = hash.IndexOf(key->Text());
        if (found < 0 || found > i || StringCompareNoCase(hash.KeyAt(found)->Text(), key->Text()) != 0)
            __builtin_trap();
        previous = key;
    }
}

void CheckSplit(const STRING& input, const uint8_t* data, size_t size) {
    int delimiters = 0;
    for (size_t i = 0; i < size; ++i)
        if (data[i] == '|' || data[i] == ';')
            ++delimiters;
    const STRINGARRAY pieces(input, "|;");
    if (pieces.Count() != delimiters + 1)
        __builtin_trap();
    STRING joined;
    joined.MakeNotNull();
    size_t at = 0;
    for (int i = 0; i < pieces.Count(); ++i) {
        const STRING* piece = pieces.Get(i);
        if (piece == nullptr)
            __builtin_trap();
        joined.Append(*piece);
        at += static_cast<size_t>(piece->Length());
        if (i + 1 < pieces.Count()) {
            if (at >= size)
                __builtin_trap();
            joined.Append(reinterpret_cast<const char*>(data + at), 1);
            ++at;
        }
    }
    if (!SameBytes(joined, data, size))
        __builtin_trap();
}

void CheckEncodings(const STRING& input, const uint8_t* data, size_t size) {
    const STRING decoded = input.FromBase64();
    // Four characters give at most three bytes.
    if (static_cast<size_t>(decoded.Length()) > size / 4 * 3 + 2)
        __builtin_trap();

    if (!SameBytes(input.ToBase64(false).FromBase64(), data, size))
        __builtin_trap();
    if (!SameBytes(input.ToBase64(true).FromBase64(), data, size))
        __builtin_trap();
    const STRING hex = input.ToHex();
    if (static_cast<size_t>(hex.Length()) != 2 * size)
        __builtin_trap();
    if (!SameBytes(hex.FromHex(), data, size))
        __builtin_trap();

    const STRING unescaped = input.Unescape(true);
    if (static_cast<size_t>(unescaped.Length()) > size)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetAssertSilent(true);
    return 0;
}

void CheckTextCodec(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool utf8 = TEXTCODEC::IsUtf8(bytes);
    const std::string maker = TEXTCODEC::MakerText(bytes);
    if (!TEXTCODEC::IsUtf8(maker) || (utf8 && bytes.substr(0, 3) != "\xEF\xBB\xBF" && maker != bytes))
        __builtin_trap();
    const std::string again = TEXTCODEC::Utf8FromUtf16(TEXTCODEC::Utf16FromUtf8(bytes));
    if (!TEXTCODEC::IsUtf8(again) || (utf8 && again != bytes))
        __builtin_trap();
    if (utf8 && !TEXTCODEC::IsUtf8(bytes.substr(0, TEXTCODEC::Utf8Prefix(bytes, size / 2))))
        __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    STRING input;
    input.Make(static_cast<int>(size), data);
    CheckHash(input);
    CheckSplit(input, data, size);
    CheckEncodings(input, data, size);
    CheckTextCodec(data, size);
    return 0;
}
