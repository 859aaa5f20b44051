// The byte buffer under every STRING: BINARY and the cache of its smallest blocks.
#include "lib/strings.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "lib/orvik.h"
#include "lib/osys.h"

namespace {

constexpr int DynaBlockLimit = 32768;    // a plain string above this switches to adaptive blocks
constexpr int DynaBlockMax = 2097152;    // adaptive blocks never grow beyond 2 MB a step
constexpr int LoadChunk = 32768;         // Load reads in chunks of this size
constexpr int LoadBlockRounding = 65536; // Load sizes the block to the file, rounded to this

// True when p points into [begin, begin + len).
bool PointsInto(const void* p, const unsigned char* begin, int len) {
    auto* c = static_cast<const unsigned char*>(p);
    return begin != nullptr && c >= begin && c < begin + len;
}

} // namespace

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
