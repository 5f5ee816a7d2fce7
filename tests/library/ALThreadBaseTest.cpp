// Thread bases: start and publication, stop, the race between the exiting
// thread's Close and the owner's WaitForExit and deletion.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "hook/ALThreadFrameBufferBase.h"

namespace {

// Run blocks until released (or returns at once), counting its runs.
class TestThread : public ALThreadBase {
public:
    explicit TestThread(bool bReturnAtOnce = false)
        : m_bReturnAtOnce(bReturnAtOnce),
          m_hRelease(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_hEntered(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~TestThread() override {
        CloseHandle(m_hRelease);
        CloseHandle(m_hEntered);
    }
    void Run() override {
        m_Runs.fetch_add(1);
        SetEvent(m_hEntered);
        if (!m_bReturnAtOnce)
            WaitForSingleObject(m_hRelease, INFINITE);
    }
    void Release() { SetEvent(m_hRelease); }
    bool WaitEntered() { return WaitForSingleObject(m_hEntered, INFINITE) == WAIT_OBJECT_0; }
    bool HandleRecorded() { return m_hThread.load() != nullptr; }

    std::atomic<int> m_Runs{0};

private:
    bool m_bReturnAtOnce;
    HANDLE m_hRelease;
    HANDLE m_hEntered;
};

TEST(ALThreadBase, NeverStartedIsIdle) {
    TestThread Thread;
    EXPECT_FALSE(Thread.IsRunning());
    EXPECT_FALSE(Thread.WaitForExit(0));
    EXPECT_FALSE(Thread.WaitForExit(INFINITE));  // returns at once, no thread recorded
    EXPECT_FALSE(Thread.HandleRecorded());
}

TEST(ALThreadBase, RunsUntilReleasedThenFinishes) {
    TestThread Thread;
    ASSERT_TRUE(Thread.Start());
    ASSERT_TRUE(Thread.WaitEntered());
    EXPECT_TRUE(Thread.IsRunning());
    EXPECT_FALSE(Thread.WaitForExit(0));  // still running
    Thread.Release();
    // True when the wait saw the thread end, false when the thread had
    // already taken its handle out; either way the thread is done after it.
    Thread.WaitForExit(INFINITE);
    EXPECT_FALSE(Thread.IsRunning());
    EXPECT_FALSE(Thread.HandleRecorded());
    EXPECT_FALSE(Thread.WaitForExit(INFINITE));  // handle already closed by the thread
    EXPECT_EQ(Thread.m_Runs.load(), 1);
}

TEST(ALThreadBase, SecondStartWhileRunningFailsAndLeavesFirstThread) {
    TestThread Thread;
    ASSERT_TRUE(Thread.Start());
    ASSERT_TRUE(Thread.WaitEntered());
    EXPECT_FALSE(Thread.Start());
    EXPECT_TRUE(Thread.IsRunning());
    Thread.Release();
    Thread.WaitForExit(INFINITE);
    // The refused thread was terminated before it ran: only one Run happened.
    EXPECT_EQ(Thread.m_Runs.load(), 1);
}

TEST(ALThreadBase, FinishedObjectStartsAgain) {
    TestThread Thread;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Thread.Start());
        Thread.Release();
        Thread.WaitForExit(INFINITE);  // true, or false when the thread closed first
    }
    // Deletion waits for a thread still leaving Close; afterwards all runs counted.
    EXPECT_EQ(Thread.m_Runs.load(), 3);
}

TEST(ALThreadBase, RunThatReturnsAtOnceClearsItsHandle) {
    for (int i = 0; i < 50; ++i) {
        TestThread Thread(true);
        ASSERT_TRUE(Thread.Start());
        // True when the wait saw the thread end, false when the thread had
        // already taken its handle out; either way the handle is cleared.
        Thread.WaitForExit(INFINITE);
        EXPECT_FALSE(Thread.HandleRecorded());
        EXPECT_FALSE(Thread.IsRunning());
        EXPECT_EQ(Thread.m_Runs.load(), 1);
    }
}

// The owner's stop sequence against threads that exit as fast as they can
// (wait, delete, repeat) while a bystander enumerates IsRunning, as the
// thread list does under the API's lock. Run under TSan, this shows that the
// exiting thread's Close never races the owner's wait, query or deletion.
TEST(ALThreadBase, StopAndDeleteRaceStress) {
    std::mutex ListLock;  // plays the API lock that guards the thread list
    TestThread* pCurrent = nullptr;
    std::atomic<bool> bDone{false};
    std::thread Bystander([&] {
        while (!bDone.load()) {
            std::lock_guard<std::mutex> Guard(ListLock);
            if (pCurrent != nullptr) {
                pCurrent->IsRunning();
            }
        }
    });
    for (int i = 0; i < 500; ++i) {
        auto* pThread = new TestThread(i % 2 == 0);
        {
            std::lock_guard<std::mutex> Guard(ListLock);
            ASSERT_TRUE(pThread->Start());
            pCurrent = pThread;
        }
        if (i % 2 != 0)
            pThread->Release();
        pThread->WaitForExit(INFINITE);
        EXPECT_FALSE(pThread->HandleRecorded());
        std::lock_guard<std::mutex> Guard(ListLock);
        pCurrent = nullptr;
        EXPECT_EQ(pThread->m_Runs.load(), 1);
        delete pThread;
    }
    bDone = true;
    Bystander.join();
}

class BaseOnlyFrameBufferThread : public ALThreadFrameBufferBase {
public:
    void Run() override {}
    bool Start(INimboApiDisplayMonitorInstance*, INT32) override { return false; }
    void RequestExit(bool) override {}
    INimboApiDisplayMonitorInstance* HardwareGet() override { return nullptr; }
    INT32 AdapterIndexGet() override { return -1; }
    INT32 MonitorIndexGet() override { return 0; }
    UINT32 VideoPresentTargetIdGet() override { return 0x4711; }
};

TEST(ALThreadFrameBufferBase, BaseAdapterLuidIsZero) {
    BaseOnlyFrameBufferThread Thread;
    ALThreadFrameBufferBase* pBase = &Thread;
    LUID Luid = pBase->AdapterLuidGet();
    EXPECT_EQ(Luid.LowPart, 0u);
    EXPECT_EQ(Luid.HighPart, 0);
}

}  // namespace
