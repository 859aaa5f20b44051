#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "lib/osys.h"
#include "tests/common/test_support.h"

namespace {

// Arguments of a worker thread started with OSYS::CreateThread.
struct WORK {
    MUTEXSEM* Mutex = nullptr;
    CRITSECT* Section = nullptr;
    EVENTSEM* Go = nullptr;
    long* Counter = nullptr;
    std::atomic<bool> Result{false};
};

void IncrementUnderMutex(void* p) {
    auto* work = static_cast<WORK*>(p);
    for (int i = 0; i < 20000; ++i) {
        work->Mutex->Obtain(-1);
        ++*work->Counter;
        work->Mutex->Release();
    }
}

void IncrementUnderSection(void* p) {
    auto* work = static_cast<WORK*>(p);
    for (int i = 0; i < 20000; ++i) {
        CRITSECTLOCK lock(*work->Section);
        ++*work->Counter;
    }
}

void TryObtainOnce(void* p) {
    auto* work = static_cast<WORK*>(p);
    work->Result = work->Mutex->Obtain(0);
    if (work->Result)
        work->Mutex->Release();
}

void WaitForGo(void* p) {
    auto* work = static_cast<WORK*>(p);
    work->Result = work->Go->Wait(-1);
}

void RunThreads(OSYS::THREADROUTINE routine, WORK& work, int count) {
    void* threads[8] = {};
    for (int i = 0; i < count; ++i) {
        threads[i] = OSYS::CreateThread(routine, &work);
        ASSERT_NE(nullptr, threads[i]);
    }
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(OSYS::WaitThread(threads[i], OSYS::WAIT_FOREVER));
}

} // namespace

TEST(SyncEvent, ManualResetKeepsTheSignal) {
    EVENTSEM event;
    EXPECT_FALSE(event.Wait(0));
    EXPECT_TRUE(event.Set());
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Reset());
    EXPECT_FALSE(event.Wait(20));
    EXPECT_TRUE(EVENTSEM(true).Wait(0));
}

TEST(SyncEvent, WakesAWaitingThread) {
    EVENTSEM go;
    WORK work;
    work.Go = &go;
    void* thread = OSYS::CreateThread(WaitForGo, &work);
    ASSERT_NE(nullptr, thread);
    OSYS::Sleep(30);
    EXPECT_FALSE(OSYS::WaitThread(thread, 0)); // still waiting
    go.Set();
    EXPECT_TRUE(OSYS::WaitThread(thread, 5000));
    EXPECT_TRUE(work.Result);
}

TEST(SyncMutex, RecursiveForItsOwnerOnly) {
    MUTEXSEM mutex;
    WORK work;
    work.Mutex = &mutex;
    ASSERT_TRUE(mutex.Obtain(-1));
    ASSERT_TRUE(mutex.Obtain(0));
    RunThreads(TryObtainOnce, work, 1);
    EXPECT_FALSE(work.Result);
    EXPECT_TRUE(mutex.Release());
    RunThreads(TryObtainOnce, work, 1);
    EXPECT_FALSE(work.Result); // still held once
    EXPECT_TRUE(mutex.Release());
    RunThreads(TryObtainOnce, work, 1);
    EXPECT_TRUE(work.Result);
}

TEST(SyncMutex, InitiallyOwnedAndForeignReleaseFails) {
    MUTEXSEM mutex(true);
    WORK work;
    work.Mutex = &mutex;
    RunThreads(TryObtainOnce, work, 1);
    EXPECT_FALSE(work.Result);
    EXPECT_TRUE(mutex.Release());

    ASSERTWATCH watch;
    EXPECT_FALSE(mutex.Release());
    EXPECT_EQ(1u, watch.Failures());
    EXPECT_EQ("ok", watch.LastCondition());
    EXPECT_EQ(0u, watch.LastInfo().find("handle= "));
}

TEST(SyncMutex, SerialisesThreads) {
    MUTEXSEM mutex;
    long counter = 0;
    WORK work;
    work.Mutex = &mutex;
    work.Counter = &counter;
    RunThreads(IncrementUnderMutex, work, 4);
    EXPECT_EQ(80000, counter);
}

TEST(SyncCritSect, SerialisesThreadsAndIsRecursive) {
    CRITSECT section;
    long counter = 0;
    WORK work;
    work.Section = &section;
    work.Counter = &counter;
    RunThreads(IncrementUnderSection, work, 4);
    EXPECT_EQ(80000, counter);
    CRITSECTLOCK outer(section);
    CRITSECTLOCK inner(section);
}

TEST(OsysThreads, WaitThreadNeedsAHandle) {
    ASSERTWATCH watch;
    EXPECT_FALSE(OSYS::WaitThread(nullptr, 10));
    EXPECT_EQ("hthread!=NULL", watch.LastCondition());
}

TEST(OsysThreads, WaitWithTimeoutGivesUpOnARunningThread) {
    EVENTSEM go;
    WORK work;
    work.Go = &go;
    void* thread = OSYS::CreateThread(WaitForGo, &work);
    ASSERT_NE(nullptr, thread);
    EXPECT_FALSE(OSYS::WaitThread(thread, 20));
    go.Set();
    EXPECT_TRUE(OSYS::WaitThread(thread, OSYS::WAIT_FOREVER));
}

TEST(OsysInfo, ErrorTextsHaveNoLineBreaks) {
    const std::string text = OSYS::GetLastErrorString(2).Text(); // "file not found" on both systems
    EXPECT_FALSE(text.empty());
    EXPECT_NE("<no error>", text);
    EXPECT_EQ(std::string::npos, text.find_first_of("\r\n"));
    EXPECT_LE(text.size(), 255u);
}

TEST(OsysInfo, WorkingDirectoryRoundTrip) {
    const STRING start = OSYS::GetCurrentDir();
    ASSERT_TRUE(start.NotEmpty());
    {
        SCRATCHFOLDER dir{SCRATCHFOLDER::Working};
        EXPECT_NE(std::string(start.Text()), std::string(OSYS::GetCurrentDir().Text()));
    }
    EXPECT_TRUE(OSYS::GetCurrentDir() == start);
    EXPECT_FALSE(OSYS::SetCurrentDir("this/does/not/exist"));
    EXPECT_TRUE(OSYS::SetCurrentDir(start.c_str()));
}

TEST(OsysInfo, ProgramCountersAndNames) {
    const std::string self = OSYS::GetModulePath().Text();
    EXPECT_NE(std::string::npos, self.find("orvik_lib_tests")) << self;
    EXPECT_EQ(OSYS::GetFileSize(self.c_str()) > 0, true);
    EXPECT_EQ(-1, OSYS::GetFileSize("no-such-file.bin"));

    int64_t first = 0, second = 0, frequency = 0;
    ASSERT_TRUE(OSYS::ReadHighResCounter(&first, &frequency));
    OSYS::Sleep(15);
    ASSERT_TRUE(OSYS::ReadHighResCounter(&second, nullptr));
    EXPECT_GT(frequency, 0);
    EXPECT_GE(static_cast<double>(second - first) / static_cast<double>(frequency), 0.010);

    EXPECT_NE(std::string::npos, std::string(OSYS::GetTimeString().Text()).find(':'));
    EXPECT_TRUE(OSYS::GetDateString().NotEmpty());
    EXPECT_TRUE(OSYS::GetComputerName().NotEmpty());
    EXPECT_NE(0u, OSYS::GetCurrentThreadId());
}
