// STRING, BINARY and WIDESTRING: the owned, growable text and byte buffers used everywhere, and the
// process-wide cache of small string buffers behind them.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#if defined(__GNUC__)
#if defined(__MINGW32__)
#define ORVIK_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define ORVIK_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#endif
#else
#define ORVIK_PRINTF_FORMAT(fmt, args)
#endif

// Flags of BINARY::Flags.
constexpr uint32_t STRINGFLAG_DYNABLOCK = 0x02; // block size follows the buffer size
constexpr uint32_t STRINGFLAG_WIDE = 0x10;      // terminator is two zero bytes

constexpr int STRING_DEFAULT_BLOCKSIZE = 96;
// Code page 0 is the active one (as CP_ACP on Windows): the program's own 8-bit text.
constexpr int STRING_DEFAULT_CODEPAGE = 0;

// Flags of STRING::Word / STRING::Line.
constexpr int WORD_REST = 0x0001;     // any low 16 bits: the field runs to the end of the text
constexpr int WORD_NOTNULL = 0x10000; // a missing field gives an empty string instead of a null one

// Replacement text for null character pointers (see StringNullPolicy).
constexpr const char* STRING_NULL_TEXT = "<NULL>";

// Applies the null policy to a pointer that may be null: returns p itself when it is not null, otherwise
// "<NULL>" or (policy bit 0, from the environment variable ORVIKFAILONNULL) the null pointer. Policy bit 1
// makes a null result an assertion carrying the label.
const char* StringNullPolicy(const char* p, const char* label);

// The cache of 96-byte buffers shared by all strings of the process. A separate instance is useful only to
// tests; the strings themselves use Process().
class STRINGBLOCKCACHE {
public:
    static constexpr int CachedBlockSize = 96;
    static constexpr int MaxCached = 127;

    STRINGBLOCKCACHE();
    ~STRINGBLOCKCACHE();
    STRINGBLOCKCACHE(const STRINGBLOCKCACHE&) = delete;
    STRINGBLOCKCACHE& operator=(const STRINGBLOCKCACHE&) = delete;

    // Memory of size bytes (not zeroed); null when the heap is exhausted.
    void* Allocate(int size);
    // Gives back memory of Allocate; size must be the size it was allocated with. A null pointer is ignored.
    void Release(void* ptr, int size);
    // Frees every cached buffer; afterwards all requests go straight to the heap. Final.
    void Shutdown();

    int CachedCount() const;
    bool IsClosed() const;

    // The process-wide cache. It is never destroyed, so strings with static lifetime can release late.
    static STRINGBLOCKCACHE& Process();

private:
    struct STATE;
    STATE* State;
};

// Shuts the process-wide cache down; called once by the exit routine after the log has closed.
void StringCacheShutdown();

class BINARY {
public:
    BINARY();
    BINARY(const void* data, int length, int blocksize = STRING_DEFAULT_BLOCKSIZE);
    BINARY(const BINARY& other);
    BINARY(BINARY&& other) noexcept;
    BINARY& operator=(const BINARY& other);
    BINARY& operator=(BINARY&& other) noexcept;
    ~BINARY();

    // The only allocating primitive: room for l bytes plus terminator; copies l bytes of data when data is
    // given, otherwise keeps the contents. l < 0 only normalises the block size.
    void Make(int l, const void* data = nullptr);
    // Releases the buffer; the object becomes null.
    void Free();

    int Length() const { return Buffer ? StrLen : 0; }
    bool NotNull() const { return Buffer != nullptr; }
    bool IsEmpty() const { return Buffer == nullptr || StrLen <= 0; }
    bool NotEmpty() const { return !IsEmpty(); }

    const unsigned char* Data() const { return Buffer; }
    unsigned char* Data() { return Buffer; }
    int GetBufLen() const { return BufLen; }
    int GetBlockSize() const { return BlockSize; }
    void SetBlockSize(int blocksize) { BlockSize = blocksize; }
    uint32_t GetFlags() const { return Flags; }
    void SetFlags(uint32_t flags) { Flags = flags; }

    // Appends n bytes of data (n = -1: up to the first zero byte; null data appends the null-policy text).
    void Append(const void* data, int n);
    void Append(const BINARY& other);

    // Whole-file read and write; mode is an fopen mode. True when the file could be opened.
    bool Load(const char* filename, const char* mode = "r");
    bool Save(const char* filename, const char* mode = "w") const;

protected:
    int TerminatorSize() const { return (Flags & STRINGFLAG_WIDE) ? 2 : 1; }
    void AdaptBlockSize(int newlen);

    unsigned char* Buffer;
    int StrLen;
    int BufLen;
    int BlockSize;
    uint32_t Flags;
};

// Tag for the STRING constructor that only chooses the allocation granularity.
struct STRINGBLOCKSIZE {
    int Bytes;
};

class STRING : public BINARY {
public:
    STRING();
    STRING(const char* text, int codepage = STRING_DEFAULT_CODEPAGE);
    explicit STRING(STRINGBLOCKSIZE blocksize);
    explicit STRING(const BINARY& other);
    explicit STRING(int value);
    explicit STRING(unsigned long value);
    explicit STRING(unsigned long long value);
    STRING(const STRING& other);
    STRING(STRING&& other) noexcept;
    STRING& operator=(const STRING& other);
    STRING& operator=(STRING&& other) noexcept;
    STRING& operator=(const char* text);
    ~STRING() = default;

    // The text, or null for a null string.
    const char* c_str() const { return reinterpret_cast<const char*>(Buffer); }
    // The text, or "<NULL>" for a null string: safe to pass to "%s".
    const char* Text() const { return Buffer ? reinterpret_cast<const char*>(Buffer) : STRING_NULL_TEXT; }
    char* GetBuffer() { return reinterpret_cast<char*>(Buffer); }

    int GetCodePage() const { return CodePage; }
    void SetCodePage(int codepage) { CodePage = codepage; }

    void DefaultTo(const STRING& other);
    void MakeNotNull();

    // Indexed access. Reads accept 0 <= i < Length(); writes also the terminator (i == Length()). Out of
    // range asserts and yields a byte that belongs to no string.
    char operator[](int i) const;
    char& operator[](int i);

    int Pos(const char* text, int start = 0) const;
    int iPos(const char* text, int start = 0) const;
    bool Find(const char* text, int* pos = nullptr, int start = 0) const;
    bool iFind(const char* text, int* pos = nullptr, int start = 0) const;
    int ToInt() const;
    double ToDouble() const;

    STRING Left(int n) const;
    STRING Right(int n) const;
    STRING Mid(int pos, int count = -1) const;
    STRING Word(int index, const char* delimiters, int flags = 0) const;
    STRING Line(int index, int flags = 0) const;

    using BINARY::Append;
    void Append(const char* text, int n = -1);
    void Append(const STRING& other) { BINARY::Append(other); }
    void Insert(const char* text, int pos);
    void InsertChars(int howmany, int pos, char ch);
    void Delete(int pos, int howmany);
    void CutLeft(int howmany);
    int CutRight(int howmany);
    void Truncate(int newlength);
    // how: 'L' leading, 'R' trailing, 'B' both (either case); set: the characters to remove.
    void Strip(char how = 'B', const char* set = " \t");
    void Replace(const char* from, const char* to, bool casesensitive = true);
    void ToLower();
    void ToUpper();
    int Printf(const char* format, ...) ORVIK_PRINTF_FORMAT(2, 3);
    int AppendPrintf(const char* format, ...) ORVIK_PRINTF_FORMAT(2, 3);

    STRING ToHex() const;
    STRING FromHex() const;
    STRING ToBase64(bool linebreaks = false) const;
    STRING FromBase64() const;
    // Decodes the backslash escapes of the library's text files. Unknown escapes are kept (lenient) or
    // asserted and reduced to the character (strict).
    STRING Unescape(bool lenient = true) const;

    friend bool operator==(const STRING& a, const STRING& b);
    friend bool operator==(const STRING& a, const char* b);
    friend bool operator==(const char* a, const STRING& b) { return b == a; }
    friend bool operator!=(const STRING& a, const STRING& b) { return !(a == b); }
    friend bool operator!=(const STRING& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const STRING& b) { return !(b == a); }
    friend bool operator<(const STRING& a, const STRING& b);
    friend bool operator>(const STRING& a, const STRING& b) { return b < a; }

private:
    int PrintfV(bool append, const char* format, va_list args);

    int CodePage;
};

STRING operator||(const STRING& a, const char* b);
STRING operator||(const char* a, const STRING& b);
STRING operator||(const STRING& a, const STRING& b);

// Case-insensitive comparison after the null policy (labels "stricmp p1" / "stricmp p2").
int StringCompareNoCase(const char* a, const char* b);
// Letter case ignored, byte by byte like StringCompareNoCase; a null text reads as an empty one.
bool EqualsNoCase(const char* a, const char* b);
bool StartsWithNoCase(const char* text, const char* prefix);
bool EndsWithNoCase(const char* text, const char* ending);
inline bool StartsWithNoCase(const STRING& text, const char* prefix) {
    return StartsWithNoCase(text.c_str(), prefix);
}
inline bool EndsWithNoCase(const STRING& text, const char* ending) {
    return EndsWithNoCase(text.c_str(), ending);
}

// 16-bit text for interfaces that want UTF-16, converted from 8-bit text of a code page: the active one (0),
// UTF-8 (65001), 1252 or 437.
class WIDESTRING {
public:
    // length -1: up to the terminator. A null text gives a null WIDESTRING.
    WIDESTRING(const char* text, int length = -1, int codepage = STRING_DEFAULT_CODEPAGE);
    virtual ~WIDESTRING();

    const char16_t* c_str() const { return reinterpret_cast<const char16_t*>(Wide.Data()); }
#if defined(_WIN32)
    const wchar_t* w_str() const {
        return reinterpret_cast<const wchar_t*>(Wide.Data());
    }
#endif
    int Length() const {
        return Wide.Length() / 2;
    }
    bool NotNull() const {
        return Wide.NotNull();
    }

private:
    BINARY Wide;
};
