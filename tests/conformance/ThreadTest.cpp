// Threads: suspended creation, exit codes, termination before the procedure
// ran, identifiers and priorities.
#include <gtest/gtest.h>

#include "TestThread.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kErrorInvalidHandle = ERROR_INVALID_HANDLE;

DWORD WINAPI ReturnZero(LPVOID) { return 0; }

// A manual-reset event that closes itself.
class Gate {
public:
    Gate() : m_hEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) { EXPECT_NE(m_hEvent, nullptr); }
    ~Gate() { CloseHandle(m_hEvent); }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;
    HANDLE HandleGet() const { return m_hEvent; }
    void Open() const { EXPECT_TRUE(SetEvent(m_hEvent)); }
    bool PassWait() const { return WaitForSingleObject(m_hEvent, TestThread::kJoinLimitMilliseconds) == WAIT_OBJECT_0; }

private:
    HANDLE m_hEvent;
};

TEST(Thread, CreatedSuspendedRunsOnlyAfterResume) {
    LONG volatile Ran = 0;
    TestThread Worker(
        [&Ran]() -> DWORD {
            InterlockedExchange(&Ran, 1);
            return 7;
        },
        CREATE_SUSPENDED);
    EXPECT_EQ(WaitForSingleObject(Worker.HandleGet(), 50), WAIT_TIMEOUT);
    EXPECT_EQ(Worker.ExitCodeGet(), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(InterlockedCompareExchange(&Ran, 0, 0), 0);
    EXPECT_EQ(ResumeThread(Worker.HandleGet()), 1u);  // the previous suspend count
    ASSERT_TRUE(Worker.ExitWait());
    EXPECT_EQ(Worker.ExitCodeGet(), 7u);
    EXPECT_EQ(InterlockedCompareExchange(&Ran, 0, 0), 1);
}

TEST(Thread, ResumeOfRunningThreadReportsZero) {
    Gate Finish;
    TestThread Worker([&Finish]() -> DWORD { return Finish.PassWait() ? 0 : 1; });
    EXPECT_EQ(ResumeThread(Worker.HandleGet()), 0u);
    Finish.Open();
    ASSERT_TRUE(Worker.ExitWait());
    EXPECT_EQ(Worker.ExitCodeGet(), 0u);
}

class ThreadExitCode : public ::testing::TestWithParam<DWORD> {};

TEST_P(ThreadExitCode, StillActiveUntilProcedureReturns) {
    const DWORD Code = GetParam();
    Gate Finish;
    TestThread Worker([&Finish, Code]() -> DWORD { return Finish.PassWait() ? Code : 0xBAD; });
    EXPECT_EQ(Worker.ExitCodeGet(), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(Worker.HandleGet(), 0), WAIT_TIMEOUT);
    Finish.Open();
    ASSERT_TRUE(Worker.ExitWait());
    EXPECT_EQ(Worker.ExitCodeGet(), Code);
    // An ended thread's handle stays signalled.
    EXPECT_EQ(WaitForSingleObject(Worker.HandleGet(), 0), WAIT_OBJECT_0);
}

INSTANTIATE_TEST_SUITE_P(Codes, ThreadExitCode, ::testing::Values(0u, 1u, 42u, 0xC0000005u));

TEST(Thread, ExitThreadEndsWithItsCode) {
    LONG volatile After = 0;
    TestThread Worker([&After]() -> DWORD {
        ExitThread(9);
        InterlockedExchange(&After, 1);  // never reached
        return 0;
    });
    ASSERT_TRUE(Worker.ExitWait());
    EXPECT_EQ(Worker.ExitCodeGet(), 9u);
    EXPECT_EQ(InterlockedCompareExchange(&After, 0, 0), 0);
}

TEST(Thread, TerminateBeforeRunNeverRunsProcedure) {
    LONG volatile Ran = 0;
    TestThread Worker(
        [&Ran]() -> DWORD {
            InterlockedExchange(&Ran, 1);
            return 0;
        },
        CREATE_SUSPENDED);
    EXPECT_TRUE(TerminateThread(Worker.HandleGet(), 33));
    ASSERT_TRUE(Worker.ExitWait());
    EXPECT_EQ(Worker.ExitCodeGet(), 33u);
    EXPECT_EQ(InterlockedCompareExchange(&Ran, 0, 0), 0);
}

TEST(Thread, IdentifierIsStableAndMatchesCreation) {
    DWORD SeenFirst = 0;
    DWORD SeenSecond = 0;
    TestThread Worker([&]() -> DWORD {
        SeenFirst = GetCurrentThreadId();
        SeenSecond = GetCurrentThreadId();
        return 0;
    });
    ASSERT_TRUE(Worker.ExitWait());
    EXPECT_NE(Worker.IdGet(), 0u);
    EXPECT_EQ(SeenFirst, Worker.IdGet());
    EXPECT_EQ(SeenSecond, Worker.IdGet());
    EXPECT_NE(Worker.IdGet(), GetCurrentThreadId());
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
}

TEST(Thread, ConcurrentThreadsHaveDistinctIdentifiers) {
    Gate Finish;
    TestThread First([&Finish]() -> DWORD { return Finish.PassWait() ? 0 : 1; });
    TestThread Second([&Finish]() -> DWORD { return Finish.PassWait() ? 0 : 1; });
    EXPECT_NE(First.IdGet(), Second.IdGet());
    Finish.Open();
}

TEST(Thread, ProcessIdentifierIsStableAndNonZero) {
    DWORD SeenByThread = 0;
    TestThread Worker([&SeenByThread]() -> DWORD {
        SeenByThread = GetCurrentProcessId();
        return 0;
    });
    ASSERT_TRUE(Worker.ExitWait());
    EXPECT_NE(GetCurrentProcessId(), 0u);
    EXPECT_EQ(SeenByThread, GetCurrentProcessId());
}

class ThreadPriority : public ::testing::TestWithParam<int> {};

TEST_P(ThreadPriority, IsRemembered) {
    Gate Finish;
    TestThread Worker([&Finish]() -> DWORD { return Finish.PassWait() ? 0 : 1; });
    EXPECT_EQ(GetThreadPriority(Worker.HandleGet()), THREAD_PRIORITY_NORMAL);
    EXPECT_TRUE(SetThreadPriority(Worker.HandleGet(), GetParam()));
    EXPECT_EQ(GetThreadPriority(Worker.HandleGet()), GetParam());
    Finish.Open();
}

INSTANTIATE_TEST_SUITE_P(Levels, ThreadPriority,
                         ::testing::Values(THREAD_PRIORITY_IDLE, THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL,
                                           THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                           THREAD_PRIORITY_TIME_CRITICAL));

TEST(Thread, UnknownPriorityIsRefused) {
    for (int nPriority : {3, -3, 14, 16, 100}) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), nPriority)) << nPriority;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << nPriority;
    }
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

TEST(Thread, CurrentThreadPriorityThroughPseudoHandle) {
    TestThread Worker([]() -> DWORD {
        if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL))
            return 1;
        return GetThreadPriority(GetCurrentThread()) == THREAD_PRIORITY_TIME_CRITICAL ? 0 : 2;
    });
    ASSERT_TRUE(Worker.ExitWait());
    EXPECT_EQ(Worker.ExitCodeGet(), 0u);
}

TEST(Thread, CurrentThreadPseudoHandleIsRunningThread) {
    DWORD Code = 0;
    EXPECT_TRUE(GetExitCodeThread(GetCurrentThread(), &Code));
    EXPECT_EQ(Code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), 0), WAIT_TIMEOUT);
}

TEST(Thread, OperationsOnClosedHandleFail) {
    HANDLE hThread = CreateThread(nullptr, 0, &ReturnZero, nullptr, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(hThread, nullptr);
    ASSERT_TRUE(TerminateThread(hThread, 0));
    ASSERT_TRUE(CloseHandle(hThread));
    DWORD Code = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetExitCodeThread(hThread, &Code));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(ResumeThread(hThread), static_cast<DWORD>(-1));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetThreadPriority(hThread, THREAD_PRIORITY_NORMAL));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetThreadPriority(hThread), THREAD_PRIORITY_ERROR_RETURN);
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST(Thread, ThreadOperationsOnAnEventFail) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    DWORD Code = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetExitCodeThread(hEvent, &Code));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(ResumeThread(hEvent), static_cast<DWORD>(-1));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    CloseHandle(hEvent);
}

}  // namespace
