#include "lib/strings.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "lib/orvik.h"
#include "lib/osys.h"
#include "lib/textcodec.h"

namespace {

constexpr int DynaBlockLimit = 32768;    // a plain string above this switches to adaptive blocks
constexpr int DynaBlockMax = 2097152;    // adaptive blocks never grow beyond 2 MB a step
constexpr int PrintfBufferSize = 8192;   // work buffer of Printf, one byte kept for the terminator
constexpr int LoadChunk = 32768;         // Load reads in chunks of this size
constexpr int LoadBlockRounding = 65536; // Load sizes the block to the file, rounded to this

// True when p points into [begin, begin + len).
bool PointsInto(const void* p, const unsigned char* begin, int len) {
    auto* c = static_cast<const unsigned char*>(p);
    return begin != nullptr && c >= begin && c < begin + len;
}

} // namespace

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
// Block cache

struct STRINGBLOCKCACHE::STATE {
    CRITSECT Lock;
    void* Stack[MaxCached] = {};
    int Count = 0;
    bool Closed = false;
};

STRINGBLOCKCACHE::STRINGBLOCKCACHE() : State(new STATE) {}

STRINGBLOCKCACHE::~STRINGBLOCKCACHE() {
    Shutdown();
    delete State;
}

STRINGBLOCKCACHE& STRINGBLOCKCACHE::Process() {
    // Deliberately never destroyed: global strings may be released after every other static object.
    static STRINGBLOCKCACHE* cache = new STRINGBLOCKCACHE;
    return *cache;
}

void* STRINGBLOCKCACHE::Allocate(int size) {
    if (size != CachedBlockSize)
        return std::malloc(size);
    {
        CRITSECTLOCK lock(State->Lock);
        if (!State->Closed && State->Count > 0) {
            void* ptr = State->Stack[--State->Count];
            ORVIK_ASSERT(ptr);
            if (ptr != nullptr)
                return ptr;
        }
    }
    return std::malloc(size);
}

void STRINGBLOCKCACHE::Release(void* ptr, int size) {
    if (ptr == nullptr)
        return;
    if (size == CachedBlockSize) {
        CRITSECTLOCK lock(State->Lock);
        if (!State->Closed && State->Count < MaxCached) {
            State->Stack[State->Count++] = ptr;
            return;
        }
    }
    std::free(ptr);
}

void STRINGBLOCKCACHE::Shutdown() {
    CRITSECTLOCK lock(State->Lock);
    while (State->Count > 0)
        std::free(State->Stack[--State->Count]);
    State->Closed = true;
}

int STRINGBLOCKCACHE::CachedCount() const {
    CRITSECTLOCK lock(State->Lock);
    return State->Count;
}

bool STRINGBLOCKCACHE::IsClosed() const {
    CRITSECTLOCK lock(State->Lock);
    return State->Closed;
}

void StringCacheShutdown() {
    STRINGBLOCKCACHE::Process().Shutdown();
}

// ---------------------------------------------------------------------------------------------------------
// BINARY

BINARY::BINARY() : Buffer(nullptr), StrLen(0), BufLen(0), BlockSize(STRING_DEFAULT_BLOCKSIZE), Flags(0) {}

BINARY::BINARY(const void* data, int length, int blocksize)
    : Buffer(nullptr), StrLen(0), BufLen(0), BlockSize(blocksize > 0 ? blocksize : STRING_DEFAULT_BLOCKSIZE),
      Flags(0) {
    if (data != nullptr)
        Make(length, data);
}

BINARY::BINARY(const BINARY& other)
    : Buffer(nullptr), StrLen(0), BufLen(0), BlockSize(other.BlockSize), Flags(other.Flags) {
    if (other.Buffer != nullptr)
        Make(other.StrLen, other.Buffer);
}

BINARY::BINARY(BINARY&& other) noexcept
    : Buffer(other.Buffer), StrLen(other.StrLen), BufLen(other.BufLen), BlockSize(other.BlockSize),
      Flags(other.Flags) {
    other.Buffer = nullptr;
    other.StrLen = 0;
    other.BufLen = 0;
}

BINARY& BINARY::operator=(const BINARY& other) {
    if (this == &other)
        return *this;
    BlockSize = other.BlockSize;
    // The terminator width must be known before sizing, so the flags come first.
    Flags = other.Flags;
    if (other.Buffer == nullptr)
        Free();
    else
        Make(other.StrLen, other.Buffer);
    return *this;
}

BINARY& BINARY::operator=(BINARY&& other) noexcept {
    if (this == &other)
        return *this;
    Free();
    Buffer = other.Buffer;
    StrLen = other.StrLen;
    BufLen = other.BufLen;
    BlockSize = other.BlockSize;
    Flags = other.Flags;
    other.Buffer = nullptr;
    other.StrLen = 0;
    other.BufLen = 0;
    return *this;
}

BINARY::~BINARY() {
    Free();
}

void BINARY::Free() {
    STRINGBLOCKCACHE::Process().Release(Buffer, BufLen);
    Buffer = nullptr;
    StrLen = 0;
    BufLen = 0;
}

void BINARY::AdaptBlockSize(int newlen) {
    if (Flags & STRINGFLAG_DYNABLOCK) {
        int old = BlockSize;
        if (BlockSize < newlen / 2)
            BlockSize = newlen / 2;
        if (BlockSize >= DynaBlockMax)
            BlockSize = DynaBlockMax;
        else if (BlockSize >= 4096)
            BlockSize = (BlockSize + 1023) / 1024 * 1024;
        if (BlockSize != old)
            LogPrintf("STRING::Make STRINGFLAG_DYNABLOCK new blocksize %d\n", BlockSize);
        return;
    }
    if (newlen > DynaBlockLimit) {
        Flags |= STRINGFLAG_DYNABLOCK;
        if (BlockSize < DynaBlockLimit) {
            BlockSize = DynaBlockLimit;
            LogPrintf("STRING::Make Upgrade String to STRINGFLAG_DYNABLOCK\n");
        }
    } else if (newlen >= 8192) {
        BlockSize = std::max(BlockSize, 4096);
    } else if (newlen >= 4096) {
        BlockSize = std::max(BlockSize, 2048);
    } else if (newlen >= 1024) {
        BlockSize = std::max(BlockSize, 1024);
    }
}

void BINARY::Make(int l, const void* data) {
    if (BlockSize <= 0)
        BlockSize = STRING_DEFAULT_BLOCKSIZE;
    if (l < 0)
        return;
    // Data from our own buffer would be freed or overwritten below: copy it aside first.
    if (data != nullptr && PointsInto(data, Buffer, BufLen)) {
        BINARY copy(data, l);
        Make(l, copy.Buffer);
        return;
    }
    const int t = TerminatorSize();
    const long long need = static_cast<long long>(l) + t;
    if (BufLen < need) {
        long long newlen = static_cast<long long>(BlockSize) * (need / BlockSize + 1);
        void* fresh =
            newlen <= INT_MAX ? STRINGBLOCKCACHE::Process().Allocate(static_cast<int>(newlen)) : nullptr;
        if (fresh == nullptr) {
            Assert(false, "buffer", __FILE__, __LINE__, nullptr, false);
            return;
        }
        std::memset(fresh, 0, static_cast<size_t>(newlen));
        if (Buffer != nullptr)
            std::memcpy(fresh, Buffer, static_cast<size_t>(std::min<long long>(newlen, StrLen)));
        STRINGBLOCKCACHE::Process().Release(Buffer, BufLen);
        Buffer = static_cast<unsigned char*>(fresh);
        BufLen = static_cast<int>(newlen);
        AdaptBlockSize(BufLen);
    }
    if (data != nullptr) {
        ORVIK_ASSERT(this->BufLen >= (l + t));
        std::memset(Buffer, 0, static_cast<size_t>(StrLen));
        std::memcpy(Buffer, data, static_cast<size_t>(l));
        std::memset(Buffer + l, 0, static_cast<size_t>(t));
    } else if (l < StrLen) {
        // Shrinking keeps the rule that everything behind the contents is zero.
        std::memset(Buffer + l, 0, static_cast<size_t>(StrLen - l));
    }
    StrLen = l;
}

void BINARY::Append(const void* data, int n) {
    if (data == nullptr) {
        data = StringNullPolicy(nullptr, "STRING::Append op1");
        if (data == nullptr)
            return;
        n = -1;
    }
    if (n < 0)
        n = static_cast<int>(std::strlen(static_cast<const char*>(data)));
    if (static_cast<long long>(StrLen) + n > INT_MAX - 4) {
        Assert(false, "buffer", __FILE__, __LINE__, "string would exceed 2 GB", false);
        return;
    }
    if (PointsInto(data, Buffer, BufLen)) {
        BINARY copy(data, n);
        Append(copy.Buffer, n);
        return;
    }
    const int old = StrLen;
    Make(old + n);
    if (Buffer == nullptr || StrLen != old + n)
        return;
    std::memcpy(Buffer + old, data, static_cast<size_t>(n));
    std::memset(Buffer + StrLen, 0, static_cast<size_t>(TerminatorSize()));
}

void BINARY::Append(const BINARY& other) {
    if (other.Buffer == nullptr) {
        Append(nullptr, -1);
        return;
    }
    Append(other.Buffer, other.StrLen);
}

bool BINARY::Load(const char* filename, const char* mode) {
    if (filename == nullptr || mode == nullptr)
        return false;
    const int64_t size = OSYS::GetFileSize(filename);
    LogPrintf("BINARY::Load %s (%d bytes)\n", filename, static_cast<int>(std::min<int64_t>(size, INT_MAX)));
    FILE* file = OSYS::OpenSharedFile(filename, mode);
    STRING status("OK");
    if (file != nullptr) {
        if (size > 0) {
            int64_t rounded = (size + LoadBlockRounding - 1) / LoadBlockRounding * LoadBlockRounding;
            BlockSize = static_cast<int>(std::min<int64_t>(rounded, INT_MAX / 2));
        }
        Make(0, "");
        std::unique_ptr<char[]> chunk(new char[LoadChunk]);
        for (;;) {
            size_t got = std::fread(chunk.get(), 1, LoadChunk, file);
            if (got > 0)
                Append(chunk.get(), static_cast<int>(got));
            if (got < static_cast<size_t>(LoadChunk))
                break;
        }
        std::fclose(file);
    } else {
        status = OSYS::GetLastErrorString();
    }
    LogPrintf("BINARY::Load returns %16llx, %d bytes, %s\n", static_cast<unsigned long long>(uintptr_t(file)),
              Length(), status.Text());
    return file != nullptr;
}

bool BINARY::Save(const char* filename, const char* mode) const {
    if (filename == nullptr || mode == nullptr)
        return false;
    LogPrintf("BINARY::Save %s\n", filename);
    FILE* file = OSYS::OpenSharedFile(filename, mode);
    STRING status("OK");
    int written = -1;
    if (file != nullptr) {
        const char* data = StringNullPolicy(reinterpret_cast<const char*>(Buffer), "STRING::Save");
        written = (data != nullptr && Buffer != nullptr)
                      ? static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(StrLen), file))
                      : 0;
        std::fclose(file);
    } else {
        status = OSYS::GetLastErrorString();
    }
    LogPrintf("BINARY::Save returns %016llx, %d bytes, %s\n",
              static_cast<unsigned long long>(uintptr_t(file)), written, status.Text());
    return file != nullptr;
}

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
