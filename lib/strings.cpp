// STRING: construction, queries and concatenation.
#include "lib/strings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lib/orvik.h"

// ---------------------------------------------------------------------------------------------------------
// STRING: construction

STRING::STRING() : CodePage(STRING_DEFAULT_CODEPAGE) {}

STRING::STRING(const char* text, int codepage) : CodePage(codepage) {
    if (text != nullptr)
        Make(static_cast<int>(std::strlen(text)), text);
}

STRING::STRING(STRINGBLOCKSIZE blocksize) : CodePage(STRING_DEFAULT_CODEPAGE) {
    BlockSize = blocksize.Bytes > 0 ? blocksize.Bytes : STRING_DEFAULT_BLOCKSIZE;
}

STRING::STRING(const BINARY& other) : BINARY(other), CodePage(STRING_DEFAULT_CODEPAGE) {}

STRING::STRING(int value) : CodePage(STRING_DEFAULT_CODEPAGE) {
    BlockSize = 16;
    char text[32];
    int n = std::snprintf(text, sizeof(text), "%d", value);
    Make(n, text);
}

STRING::STRING(unsigned long value) : CodePage(STRING_DEFAULT_CODEPAGE) {
    BlockSize = 16;
    char text[32];
    int n = std::snprintf(text, sizeof(text), "%lu", value);
    Make(n, text);
}

STRING::STRING(unsigned long long value) : CodePage(STRING_DEFAULT_CODEPAGE) {
    BlockSize = 32;
    char text[32];
    int n = std::snprintf(text, sizeof(text), "%llu", value);
    Make(n, text);
}

STRING::STRING(const STRING& other) : BINARY(other), CodePage(other.CodePage) {}

STRING::STRING(STRING&& other) noexcept : BINARY(std::move(other)), CodePage(other.CodePage) {}

STRING& STRING::operator=(const STRING& other) {
    BINARY::operator=(other);
    CodePage = other.CodePage;
    return *this;
}

STRING& STRING::operator=(STRING&& other) noexcept {
    BINARY::operator=(std::move(other));
    CodePage = other.CodePage;
    return *this;
}

STRING& STRING::operator=(const char* text) {
    if (text == nullptr)
        Free();
    else
        Make(static_cast<int>(std::strlen(text)), text);
    CodePage = STRING_DEFAULT_CODEPAGE;
    return *this;
}

void STRING::DefaultTo(const STRING& other) {
    if (NotNull())
        return;
    ORVIK_ASSERT(other.NotNull());
    if (other.NotNull())
        Make(other.StrLen, other.Buffer);
}

void STRING::MakeNotNull() {
    if (Buffer == nullptr)
        Make(0, "");
}

// ---------------------------------------------------------------------------------------------------------
// STRING: queries

namespace {
STRING IndexInfo(int i, int len, const char* buf) {
    char info[256];
    std::snprintf(info, sizeof(info), "i= %d, len= %d, buf= %s", i, len, StringNullPolicy(buf, "[]"));
    return STRING(info);
}
} // namespace

char STRING::operator[](int i) const {
    if (Buffer != nullptr && i >= 0 && i < StrLen)
        return static_cast<char>(Buffer[i]);
    STRING info = IndexInfo(i, StrLen, c_str());
    Assert(false, "i>=0 && i<this->StrLen", __FILE__, __LINE__, info.c_str(), false);
    return 0;
}

char& STRING::operator[](int i) {
    if (Buffer != nullptr && i >= 0 && i <= StrLen)
        return reinterpret_cast<char&>(Buffer[i]);
    STRING info = IndexInfo(i, StrLen, c_str());
    Assert(false, "i>=0 && i<=this->StrLen", __FILE__, __LINE__, info.c_str(), false);
    // Writes through an invalid index land here, in a byte that belongs to no string.
    static thread_local char scratch;
    scratch = 0;
    return scratch;
}

namespace {
// Index of needle in haystack at or after start, comparing bytes directly or upper-cased; -1 when absent.
int Search(const char* haystack, const char* needle, int start, bool nocase) {
    const size_t nlen = std::strlen(needle);
    for (const char* p = haystack + start; *p != '\0' || nlen == 0; ++p) {
        size_t k = 0;
        while (k < nlen && p[k] != '\0' &&
               (nocase ? std::toupper(static_cast<unsigned char>(p[k])) ==
                             std::toupper(static_cast<unsigned char>(needle[k]))
                       : p[k] == needle[k]))
            ++k;
        if (k == nlen)
            return static_cast<int>(p - haystack);
        if (*p == '\0')
            break;
    }
    return -1;
}
} // namespace

int STRING::Pos(const char* text, int start) const {
    const char* buf = StringNullPolicy(c_str(), "Pos Buffer");
    const char* str = StringNullPolicy(text, "Pos str");
    start = std::max(start, 0);
    if (buf == nullptr || str == nullptr || Buffer == nullptr || start >= StrLen)
        return -1;
    return Search(buf, str, start, false);
}

int STRING::iPos(const char* text, int start) const {
    const char* buf = StringNullPolicy(c_str(), "iPos Buffer");
    const char* str = StringNullPolicy(text, "iPos str");
    start = std::max(start, 0);
    if (buf == nullptr || str == nullptr || Buffer == nullptr || start >= StrLen)
        return -1;
    return Search(buf, str, start, true);
}

bool STRING::Find(const char* text, int* pos, int start) const {
    int found = Pos(text, start);
    if (pos != nullptr)
        *pos = found;
    return found >= 0;
}

bool STRING::iFind(const char* text, int* pos, int start) const {
    int found = iPos(text, start);
    if (pos != nullptr)
        *pos = found;
    return found >= 0;
}

int STRING::ToInt() const {
    const char* text = StringNullPolicy(c_str(), "atoi");
    return text ? std::atoi(text) : 0;
}

double STRING::ToDouble() const {
    const char* text = StringNullPolicy(c_str(), "atof");
    return text ? std::atof(text) : 0.0;
}

STRING STRING::Left(int n) const {
    return Mid(0, n);
}

STRING STRING::Right(int n) const {
    return Mid(std::max(StrLen - n, 0), n);
}

STRING STRING::Mid(int pos, int count) const {
    STRING result;
    ORVIK_ASSERT(pos >= 0 && count >= -1);
    pos = std::max(pos, 0);
    if (count < -1)
        count = 0;
    if (pos >= StrLen) {
        result.MakeNotNull();
        return result;
    }
    int available = StrLen - pos;
    int take = (count == -1 || count > available) ? available : count;
    result.Make(take, Buffer + pos);
    return result;
}

STRING STRING::Word(int index, const char* delimiters, int flags) const {
    STRING result;
    const char* delims = delimiters ? delimiters : "";
    auto isDelimiter = [delims](unsigned char c) { return c != 0 && std::strchr(delims, c) != nullptr; };
    if (Buffer != nullptr && index >= 0) {
        int start = 0;
        int seen = 0;
        for (int i = 0; i < StrLen && seen < index; ++i) {
            if (isDelimiter(Buffer[i])) {
                ++seen;
                start = i + 1;
            }
        }
        if (seen == index) {
            int end = StrLen;
            if ((flags & 0xFFFF) == 0) {
                for (int i = start; i < StrLen; ++i) {
                    if (isDelimiter(Buffer[i])) {
                        end = i;
                        break;
                    }
                }
            }
            result.Make(end - start, Buffer + start);
        }
    }
    if ((flags & WORD_NOTNULL) != 0)
        result.MakeNotNull();
    return result;
}

STRING STRING::Line(int index, int flags) const {
    return Word(index, "\n", flags);
}

// ---------------------------------------------------------------------------------------------------------
// Concatenation

namespace {
void AppendOperand(STRING& target, const STRING& operand, const char* label) {
    if (operand.NotNull())
        target.Append(static_cast<const BINARY&>(operand));
    else
        target.Append(StringNullPolicy(nullptr, label));
}
} // namespace

STRING operator||(const STRING& a, const char* b) {
    STRING result;
    AppendOperand(result, a, "STR::op1||");
    result.Append(StringNullPolicy(b, "STR::op2||"));
    return result;
}

STRING operator||(const char* a, const STRING& b) {
    STRING result(StringNullPolicy(a, "STR::op1||"));
    AppendOperand(result, b, "STR::op2||");
    return result;
}

STRING operator||(const STRING& a, const STRING& b) {
    STRING result;
    AppendOperand(result, a, "STR::op1||");
    AppendOperand(result, b, "STR::op2||");
    return result;
}
