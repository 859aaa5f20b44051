#include "lib/net/ringbuffers.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "lib/filename.h"
#include "lib/orvik.h"

namespace {
constexpr uint32_t LogLevel = 259; // device input/output, detail 3
constexpr int FullPollMs = 100;
constexpr int WaitsBeforeComplaint = 20;
} // namespace

RINGBUFFER::RINGBUFFER(int initsize) : Lock(false), DataAvailable(false), Size(std::max(initsize, 0)) {
    LogPrintf("RINGBUFFER::RINGBUFFER this= %p\n", static_cast<void*>(this));
    Data.reset(new (std::nothrow) unsigned char[Size > 0 ? Size : 1]);
    ORVIK_ASSERT(this->Data);
    LogPrintf("RINGBUFFER::RINGBUFFER done initsize=%d\n", Size);
}

RINGBUFFER::~RINGBUFFER() {
    LogPrintf("RINGBUFFER::~RINGBUFFER\n");
    Lock.Obtain();
    Data.reset();
    Size = 0;
    Lock.Release();
    LogPrintf("RINGBUFFER::~RINGBUFFER done\n");
}

int RINGBUFFER::Available() {
    Lock.Obtain();
    const int avail = static_cast<int>(Head - Tail);
    Lock.Release();
    return avail;
}

bool RINGBUFFER::Write(const void* source, int length) {
    LogPrintfLevel(LogLevel, "RINGBUFFER::Write %d\n", length);
    if (!Data || Size <= 0)
        return false;
    // A piece never exceeds the capacity, so a long write cannot wait for room that can never exist.
    const auto* bytes = static_cast<const unsigned char*>(source);
    while (length > 0) {
        const int piece = std::min(length, Size);
        if (!WriteChunk(bytes, piece))
            return false;
        bytes += piece;
        length -= piece;
    }
    return true;
}

bool RINGBUFFER::WriteChunk(const unsigned char* source, int length) {
    for (int waits = 0;; ++waits) {
        Lock.Obtain();
        if (!Data) {
            Lock.Release();
            return false;
        }
        if (Tail + Size - Head >= length)
            break;
        LogPrintf("RINGBUFFER::Write Buffer full -- waiting ...\n");
        if (waits > WaitsBeforeComplaint)
            ORVIK_ASSERT_INFO(!FILENAME("main.cpp").Exists(), "Ringbuffer Write waits more than 2 Sec");
        Lock.Release();
        OSYS::Sleep(FullPollMs);
    }
    CopyIn(source, length);
    DataAvailable.Set();
    const long long tail = Tail, head = Head;
    Lock.Release();
    LogPrintfLevel(LogLevel, "RINGBUFFER::~Write %d (%lld, %lld)\n", 1, tail, head);
    return true;
}

// Under the lock: the bytes go to position Head mod Size, in two blocks when they wrap.
void RINGBUFFER::CopyIn(const unsigned char* source, int length) {
    const int start = static_cast<int>(Head % Size);
    const int first = std::min(length, Size - start);
    memcpy(Data.get() + start, source, first);
    memcpy(Data.get(), source + first, length - first);
    Head += length;
}

void RINGBUFFER::CopyOut(unsigned char* destination, int count) {
    const int start = static_cast<int>(Tail % Size);
    const int first = std::min(count, Size - start);
    memcpy(destination, Data.get() + start, first);
    memcpy(destination + first, Data.get(), count - first);
    Tail += count;
}

bool RINGBUFFER::Read(void* destination, int* length, int timeoutms, const char* stopbytes) {
    const int wanted = *length;
    const int avail = Available();
    LogPrintfLevel(LogLevel, "RINGBUFFER::Read %d (avail=%d)\n", wanted, avail);
    if (avail == 0 && (timeoutms <= 0 || !DataAvailable.Wait(timeoutms))) {
        *length = 0;
        LogPrintfLevel(LogLevel, "RINGBUFFER::~Read %d\n", 0);
        return false;
    }
    Lock.Obtain();
    int count = Data ? static_cast<int>(std::min<int64_t>(std::max(wanted, 0), Head - Tail)) : 0;
    if (stopbytes != nullptr && *stopbytes != '\0') {
        // Only the bytes of the set stop: a NUL in the data is data (a reply line may carry one).
        for (int i = 0; i < count; ++i) {
            const unsigned char byte = Data[static_cast<size_t>((Tail + i) % Size)];
            if (byte != 0 && strchr(stopbytes, byte) != nullptr) {
                count = i + 1;
                break;
            }
        }
    }
    if (count > 0)
        CopyOut(static_cast<unsigned char*>(destination), count);
    *length = count;
    if (Head == Tail) {
        Head = Tail = 0;
        DataAvailable.Reset();
    }
    Lock.Release();
    LogPrintfLevel(LogLevel, "RINGBUFFER::~Read %d\n", count);
    return count != 0;
}
