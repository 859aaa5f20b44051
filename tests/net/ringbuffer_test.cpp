// RINGBUFFER: the queue between a device's reader and the consumer, with one writer and one reader thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "lib/net/ringbuffers.h"

namespace {
using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string ReadString(RINGBUFFER& queue, int room, int timeoutms = 0, const char* stop = nullptr) {
    std::string text(static_cast<size_t>(room), '\0');
    int length = room;
    queue.Read(&text[0], &length, timeoutms, stop);
    text.resize(static_cast<size_t>(length));
    return text;
}
} // namespace

TEST(RingBuffer, AReadStopsAfterTheFirstStopByteAndLeavesTheRest) {
    RINGBUFFER queue(64);
    ASSERT_TRUE(queue.Write("250 OK\r\n354", 11));
    EXPECT_EQ("250 OK\r\n", ReadString(queue, 64, 0, "\n"));
    EXPECT_EQ(3, queue.Available());
    EXPECT_EQ("354", ReadString(queue, 64, 0, "\n"));
}

TEST(RingBuffer, ANulByteIsDataNotAStopByte) {
    RINGBUFFER queue(64);
    ASSERT_TRUE(queue.Write("25\0-x\n", 6));
    EXPECT_EQ(std::string("25\0-x\n", 6), ReadString(queue, 64, 0, "\n"));
}

TEST(RingBuffer, AnEmptyQueueAnswersAtOnceWithoutTimeOutAndWaitsWithOne) {
    RINGBUFFER queue(16);
    char byte = 0;
    int length = 1;
    auto start = Clock::now();
    EXPECT_FALSE(queue.Read(&byte, &length, 0));
    EXPECT_EQ(0, length);
    EXPECT_LT(MsSince(start), 50);

    start = Clock::now();
    length = 1;
    EXPECT_FALSE(queue.Read(&byte, &length, 300));
    EXPECT_EQ(0, length);
    EXPECT_GE(MsSince(start), 250);

    std::thread writer([&queue] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        queue.Write("x", 1);
    });
    start = Clock::now();
    length = 1;
    EXPECT_TRUE(queue.Read(&byte, &length, 2000));
    EXPECT_EQ('x', byte);
    EXPECT_LT(MsSince(start), 1500);
    writer.join();
}

TEST(RingBuffer, AFullQueueTakesExactlyItsSizeAndOneMoreByteWaitsForTheReader) {
    RINGBUFFER queue(8);
    ASSERT_TRUE(queue.Write("abcdefgh", 8));
    std::atomic<bool> written{false};
    std::thread writer([&] {
        queue.Write("i", 1);
        written = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_FALSE(written) << "the ninth byte found room in a full queue";
    EXPECT_EQ("abc", ReadString(queue, 3));
    writer.join();
    EXPECT_TRUE(written);
    // The bytes wrapped past the end of the storage and come back in order.
    EXPECT_EQ("defghi", ReadString(queue, 16));
    EXPECT_EQ(0, queue.Available());
    ASSERT_TRUE(queue.Write("12345678", 8));
    EXPECT_EQ("12345678", ReadString(queue, 16));
}

TEST(RingBuffer, AWriteLongerThanTheQueueArrivesWholeAndInOrderWhileTheReaderReads) {
    RINGBUFFER queue(100);
    std::string sent;
    for (int i = 0; i < 5000; ++i)
        sent.push_back(static_cast<char>('A' + i % 26 + (i / 26) % 7));
    std::thread writer([&] { EXPECT_TRUE(queue.Write(sent.data(), static_cast<int>(sent.size()))); });
    std::string received;
    const auto start = Clock::now();
    while (received.size() < sent.size() && MsSince(start) < 20000)
        received += ReadString(queue, 37, 200);
    writer.join();
    EXPECT_EQ(sent, received);
}

TEST(RingBuffer, OneWriterAndOneReaderInChunksOfAnySizeKeepTheStream) {
    RINGBUFFER queue(4096);
    constexpr int Total = 300000;
    std::thread writer([&queue] {
        std::vector<unsigned char> chunk;
        for (int n = 0, size = 1; n < Total; n += size, size = size % 3001 + 7) {
            chunk.clear();
            for (int i = 0; i < size && n + i < Total; ++i)
                chunk.push_back(static_cast<unsigned char>((n + i) * 7));
            queue.Write(chunk.data(), static_cast<int>(chunk.size()));
        }
    });
    int received = 0, mismatches = 0;
    const auto start = Clock::now();
    unsigned char buffer[1500];
    while (received < Total && MsSince(start) < 30000) {
        int length = static_cast<int>(sizeof(buffer)) - received % 999;
        if (queue.Read(buffer, &length, 100))
            for (int i = 0; i < length; ++i, ++received)
                mismatches += buffer[i] != static_cast<unsigned char>(received * 7);
    }
    writer.join();
    EXPECT_EQ(Total, received);
    EXPECT_EQ(0, mismatches);
}
