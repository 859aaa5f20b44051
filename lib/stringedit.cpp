// STRING: modification in place and formatting.
#include "lib/strings.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "lib/orvik.h"

namespace {
constexpr int PrintfBufferSize = 8192; // work buffer of Printf, one byte kept for the terminator
} // namespace

// ---------------------------------------------------------------------------------------------------------
// STRING: modification

void STRING::Append(const char* text, int n) {
    BINARY::Append(text, n);
}

void STRING::Insert(const char* text, int pos) {
    if (text != nullptr && text == c_str()) {
        Assert(false, "text!=this->Buffer", __FILE__, __LINE__, nullptr, false);
        return;
    }
    text = StringNullPolicy(text, "STRING::Insert");
    if (text == nullptr || pos < 0 || pos > StrLen)
        return;
    if (pos == StrLen) {
        Append(text);
        return;
    }
    STRING copy(text); // text may point into our own buffer
    const int n = copy.Length();
    const int old = StrLen;
    Make(old + n);
    if (StrLen != old + n)
        return;
    std::memmove(Buffer + pos + n, Buffer + pos, static_cast<size_t>(old - pos));
    std::memcpy(Buffer + pos, copy.Buffer, static_cast<size_t>(n));
}

void STRING::InsertChars(int howmany, int pos, char ch) {
    if (howmany < 0) {
        Assert(false, "howmany>=0", __FILE__, __LINE__, nullptr, false);
        return;
    }
    if (howmany == 0 || pos < 0 || pos >= StrLen)
        return;
    const int old = StrLen;
    Make(old + howmany);
    if (StrLen != old + howmany)
        return;
    std::memmove(Buffer + pos + howmany, Buffer + pos, static_cast<size_t>(old - pos));
    std::memset(Buffer + pos, static_cast<unsigned char>(ch), static_cast<size_t>(howmany));
}

void STRING::Delete(int pos, int howmany) {
    if (howmany < 0) {
        Assert(false, "howmany>=0", __FILE__, __LINE__, nullptr, false);
        return;
    }
    if (howmany == 0 || pos < 0 || pos >= StrLen)
        return;
    if (static_cast<long long>(pos) + howmany < StrLen) {
        std::memmove(Buffer + pos, Buffer + pos + howmany, static_cast<size_t>(StrLen - pos - howmany));
        std::memset(Buffer + StrLen - howmany, 0, static_cast<size_t>(howmany));
        StrLen -= howmany;
    } else {
        Truncate(pos);
    }
}

void STRING::CutLeft(int howmany) {
    if (howmany < 0) {
        Assert(false, "howmany>=0", __FILE__, __LINE__, nullptr, false);
        return;
    }
    if (howmany >= StrLen)
        Truncate(0);
    else
        Delete(0, howmany);
}

int STRING::CutRight(int howmany) {
    if (howmany < 0) {
        Assert(false, "howmany>=0", __FILE__, __LINE__, nullptr, false);
        return Length();
    }
    Truncate(std::max(StrLen - howmany, 0));
    return Length();
}

void STRING::Truncate(int newlength) {
    if (newlength < 0) {
        Assert(false, "newlength>=0", __FILE__, __LINE__, nullptr, false);
        return;
    }
    while (StrLen > newlength)
        Buffer[--StrLen] = 0;
}

void STRING::Strip(char how, const char* set) {
    const int h = std::toupper(static_cast<unsigned char>(how));
    if (h != 'L' && h != 'R' && h != 'B') {
        Assert(false, "how=='L' || how=='R' || how=='B'", __FILE__, __LINE__, nullptr, false);
        return;
    }
    if (Buffer == nullptr || set == nullptr)
        return;
    auto strip = [set](unsigned char c) { return c != 0 && std::strchr(set, c) != nullptr; };
    if (h == 'R' || h == 'B') {
        int end = StrLen;
        while (end > 0 && strip(Buffer[end - 1]))
            --end;
        Truncate(end);
    }
    if (h == 'L' || h == 'B') {
        int begin = 0;
        while (begin < StrLen && strip(Buffer[begin]))
            ++begin;
        CutLeft(begin);
    }
}

void STRING::Replace(const char* from, const char* to, bool casesensitive) {
    if (from == nullptr || *from == '\0' || Buffer == nullptr)
        return;
    if (to == nullptr)
        to = "";
    if (std::strcmp(from, to) == 0)
        return;
    STRING fromCopy(from), toCopy(to); // either may point into our own buffer
    const int flen = fromCopy.Length();
    const int tlen = toCopy.Length();
    int start = 0;
    for (;;) {
        int at = casesensitive ? Pos(fromCopy.c_str(), start) : iPos(fromCopy.c_str(), start);
        if (at < 0)
            break;
        const int newlen = StrLen + (tlen - flen);
        const int old = StrLen;
        if (newlen + TerminatorSize() > BufLen) {
            Make(newlen);
            if (StrLen != newlen)
                return;
            StrLen = old;
        }
        if (tlen != flen) {
            std::memmove(Buffer + at + tlen, Buffer + at + flen, static_cast<size_t>(old - at - flen + 1));
            if (newlen < old)
                std::memset(Buffer + newlen, 0, static_cast<size_t>(old - newlen));
        }
        std::memcpy(Buffer + at, toCopy.c_str(), static_cast<size_t>(tlen));
        StrLen = newlen;
        start = at + tlen;
    }
}

void STRING::ToLower() {
    if (Buffer == nullptr) {
        StringNullPolicy(nullptr, "ToLower");
        return;
    }
    for (unsigned char* p = Buffer; *p != 0; ++p)
        *p = static_cast<unsigned char>(std::tolower(*p));
}

void STRING::ToUpper() {
    if (Buffer == nullptr) {
        StringNullPolicy(nullptr, "ToUpper");
        return;
    }
    for (unsigned char* p = Buffer; *p != 0; ++p)
        *p = static_cast<unsigned char>(std::toupper(*p));
}

int STRING::PrintfV(bool append, const char* format, va_list args) {
    std::unique_ptr<char[]> buf(new char[PrintfBufferSize]);
    buf[0] = 0;
    int rc = std::vsnprintf(buf.get(), PrintfBufferSize, format ? format : "", args);
    buf[PrintfBufferSize - 1] = 0;
    const int stored = static_cast<int>(std::strlen(buf.get()));
    if (append) {
        Append(buf.get(), stored);
    } else {
        Make(stored, buf.get());
        CodePage = STRING_DEFAULT_CODEPAGE;
    }
    if (!(rc >= 0 && rc < PrintfBufferSize - 1))
        Assert(false, "rc>=0 && rc<sizeof(buf)-1", __FILE__, __LINE__, nullptr, false);
    return stored;
}

int STRING::Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = PrintfV(false, format, args);
    va_end(args);
    return n;
}

int STRING::AppendPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = PrintfV(true, format, args);
    va_end(args);
    return n;
}
