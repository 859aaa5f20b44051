// libFuzzer target: arbitrary bytes through the foundation library's text parsers and encoders.
//   - HASH parsing of the "setup.cfg" text form; the table is then walked: every key and value readable,
//     keys sorted with letter case ignored, every key found again by IndexOf.
//   - STRINGARRAY split on "|" and ";": one piece more than there are delimiters, and the pieces joined
//     with their delimiters give back the input.
//   - FromBase64 of the raw bytes; ToBase64 (with and without line breaks) -> FromBase64 and
//     ToHex -> FromHex give back the input byte for byte.
//   - Lenient Unescape, whose result is never longer than its input.
// Failed assertions of the library are expected for malformed input (bad escapes, lines without "=") and
// only recorded; a broken invariant traps, so it counts as a crash like any sanitizer report. Each failed
// assertion also appends to "assert.log" in the working directory: scripts/fuzz.sh runs the target in a
// folder where that name is a folder, so nothing is written.
#include "lib/hash.h"
#include "lib/orvik.h"
#include "lib/stringarray.h"

#include <cstdint>
#include <cstring>

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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    STRING input;
    input.Make(static_cast<int>(size), data);
    CheckHash(input);
    CheckSplit(input, data, size);
    CheckEncodings(input, data, size);
    return 0;
}
