// RINGBUFFER: the fixed-size byte queue between a device's reader and the code that consumes what arrived.
// One writer and one reader may work on it at the same time; a reader can wait for data and stop at a
// delimiter byte, which is how line protocols read a reply line.
#pragma once

#include <cstdint>
#include <memory>

#include "lib/osys.h"

class RINGBUFFER {
public:
    explicit RINGBUFFER(int initsize);
    ~RINGBUFFER();
    RINGBUFFER(const RINGBUFFER&) = delete;
    RINGBUFFER& operator=(const RINGBUFFER&) = delete;

    // Queues length bytes. A writer that finds too little room waits (polling every 100 ms) until the reader
    // has made some; a write longer than the whole buffer is queued piece by piece. False only without
    // storage.
    bool Write(const void* source, int length);
    // Delivers at most *length bytes into destination and stores the count in *length. With stopbytes (a
    // NUL-terminated set) delivery ends after the first byte of the set. Waits up to timeoutms for data when
    // the queue is empty (0 or less: does not wait). True when at least one byte was delivered.
    bool Read(void* destination, int* length, int timeoutms, const char* stopbytes = nullptr);
    // Bytes queued and not yet read.
    int Available();
    int GetSize() const { return Size; }

private:
    bool WriteChunk(const unsigned char* source, int length);
    void CopyIn(const unsigned char* source, int length);
    void CopyOut(unsigned char* destination, int count);

    MUTEXSEM Lock;
    EVENTSEM DataAvailable;
    std::unique_ptr<unsigned char[]> Data;
    // Totals since the queue was last empty; 64 bits so that a stream that never drains cannot overflow them.
    int64_t Head = 0;
    int64_t Tail = 0;
    int Size;
};
