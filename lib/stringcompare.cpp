// The null policy and the comparisons: no-case helpers on plain texts and the STRING operators.
#include "lib/strings.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "lib/orvik.h"

// ---------------------------------------------------------------------------------------------------------
// Null policy

const char* StringNullPolicy(const char* p, const char* label) {
    static std::atomic<unsigned long> policy{0};
    if (p != nullptr)
        return p;
    // Read every time, so that a developer can change the policy of a running program's next calls.
    if (const char* env = std::getenv("ORVIKFAILONNULL"))
        policy = std::strtoul(env, nullptr, 10);
    unsigned long current = policy;
    const char* result = (current & 1) ? nullptr : STRING_NULL_TEXT;
    if (current & 2)
        Assert(result != nullptr, "p!=NULL", __FILE__, __LINE__, label ? label : "<none>", false);
    return result;
}

int StringCompareNoCase(const char* a, const char* b) {
    a = StringNullPolicy(a, "stricmp p1");
    b = StringNullPolicy(b, "stricmp p2");
    if (a == nullptr || b == nullptr)
        return a == b ? 0 : (a == nullptr ? -1 : 1);
    // Byte-wise like _stricmp: both sides lower-cased.
    for (;; ++a, ++b) {
        const int ca = std::tolower(static_cast<unsigned char>(*a));
        const int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

namespace {
bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}
} // namespace

bool EqualsNoCase(const char* a, const char* b) {
    a = a ? a : "";
    b = b ? b : "";
    for (; *a != '\0' && SameLetter(*a, *b); ++a, ++b) {
    }
    return *a == '\0' && *b == '\0';
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    text = text ? text : "";
    for (prefix = prefix ? prefix : ""; *prefix != '\0'; ++text, ++prefix) {
        if (*text == '\0' || !SameLetter(*text, *prefix))
            return false;
    }
    return true;
}

bool EndsWithNoCase(const char* text, const char* ending) {
    text = text ? text : "";
    ending = ending ? ending : "";
    const size_t length = std::strlen(text), n = std::strlen(ending);
    return n <= length && EqualsNoCase(text + length - n, ending);
}

// ---------------------------------------------------------------------------------------------------------
// STRING: comparison

bool operator==(const STRING& a, const STRING& b) {
    if (a.Buffer == nullptr || b.Buffer == nullptr)
        return a.Buffer == b.Buffer;
    return StringCompareNoCase(a.c_str(), b.c_str()) == 0;
}

bool operator==(const STRING& a, const char* b) {
    if (a.Buffer == nullptr || b == nullptr)
        return a.Buffer == nullptr && b == nullptr;
    return StringCompareNoCase(a.c_str(), b) == 0;
}

bool operator<(const STRING& a, const STRING& b) {
    return StringCompareNoCase(a.Text(), b.Text()) < 0;
}
