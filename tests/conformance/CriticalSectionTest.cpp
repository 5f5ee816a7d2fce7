// Critical sections: recursion by the owner, exclusion of other threads.
#include <gtest/gtest.h>

#include <vector>

#include "TestThread.h"
#include "platform/win32.h"

namespace {

class CriticalSection : public ::testing::Test {
protected:
    void SetUp() override { InitializeCriticalSection(&m_Section); }
    void TearDown() override { DeleteCriticalSection(&m_Section); }

    // TryEnter from another thread; leaves again if it got in.
    bool OtherThreadEnters() {
        TestThread Other([this]() -> DWORD {
            if (!TryEnterCriticalSection(&m_Section))
                return 0;
            LeaveCriticalSection(&m_Section);
            return 1;
        });
        EXPECT_TRUE(Other.ExitWait());
        return Other.ExitCodeGet() == 1;
    }

    CRITICAL_SECTION m_Section;
};

TEST_F(CriticalSection, OwnerEntersRecursively) {
    EnterCriticalSection(&m_Section);
    EnterCriticalSection(&m_Section);
    EXPECT_TRUE(TryEnterCriticalSection(&m_Section));
    LeaveCriticalSection(&m_Section);
    LeaveCriticalSection(&m_Section);
    LeaveCriticalSection(&m_Section);
    EXPECT_TRUE(OtherThreadEnters());
}

TEST_F(CriticalSection, HeldUntilEveryEnterIsLeft) {
    EnterCriticalSection(&m_Section);
    EnterCriticalSection(&m_Section);
    EXPECT_FALSE(OtherThreadEnters());
    LeaveCriticalSection(&m_Section);
    EXPECT_FALSE(OtherThreadEnters());
    LeaveCriticalSection(&m_Section);
    EXPECT_TRUE(OtherThreadEnters());
}

TEST_F(CriticalSection, EnterWaitsForOwnerToLeave) {
    HANDLE hStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hStarted, nullptr);
    int OwnerWork = 0;  // written by the owner inside the section only
    EnterCriticalSection(&m_Section);
    TestThread Other([&]() -> DWORD {
        SetEvent(hStarted);
        EnterCriticalSection(&m_Section);
        const int Seen = OwnerWork;
        LeaveCriticalSection(&m_Section);
        return static_cast<DWORD>(Seen);
    });
    ASSERT_EQ(WaitForSingleObject(hStarted, TestThread::kJoinLimitMilliseconds), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(Other.HandleGet(), 50), WAIT_TIMEOUT);  // cannot get in
    OwnerWork = 1;
    LeaveCriticalSection(&m_Section);
    ASSERT_TRUE(Other.ExitWait());
    EXPECT_EQ(Other.ExitCodeGet(), 1u);
    CloseHandle(hStarted);
}

TEST_F(CriticalSection, ExcludesConcurrentIncrements) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    HANDLE hStart = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hStart, nullptr);
    int Counter = 0;  // guarded by m_Section only
    int Inside = 0;
    LONG volatile Overlaps = 0;
    {
        std::vector<std::unique_ptr<TestThread>> Threads;
        for (int Index = 0; Index < kThreads; ++Index)
            Threads.push_back(std::make_unique<TestThread>([&]() -> DWORD {
                WaitForSingleObject(hStart, INFINITE);
                for (int Round = 0; Round < kRounds; ++Round) {
                    EnterCriticalSection(&m_Section);
                    if (++Inside != 1)
                        InterlockedIncrement(&Overlaps);
                    Counter = Counter + 1;
                    --Inside;
                    LeaveCriticalSection(&m_Section);
                }
                return 0;
            }));
        ASSERT_TRUE(SetEvent(hStart));
        for (const std::unique_ptr<TestThread>& pThread : Threads)
            ASSERT_TRUE(pThread->ExitWait());
    }
    EXPECT_EQ(Counter, kThreads * kRounds);
    EXPECT_EQ(Overlaps, 0);
    CloseHandle(hStart);
}

TEST(CriticalSectionSpinCount, InitializesUsableSection) {
    CRITICAL_SECTION Section;
    ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&Section, 4000));
    EnterCriticalSection(&Section);
    EXPECT_TRUE(TryEnterCriticalSection(&Section));
    LeaveCriticalSection(&Section);
    LeaveCriticalSection(&Section);
    DeleteCriticalSection(&Section);
}

}  // namespace
