// Kernel objects of the simulated platform where it goes beyond what the
// conformance suite can check on Windows: handle accounting, values never
// reused, the blocked-waiter count, and what it refuses.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <thread>

#include "conformance/TestThread.h"
#include "platform/machine.h"
#include "platform/win32.h"

namespace {

DWORD WINAPI ReturnZero(LPVOID) { return 0; }

TEST(MachineHandles, LiveCountsFollowCreationAndClose) {
    const long Events = MachineHandlesLiveOfKind("Event");
    const long Timers = MachineHandlesLiveOfKind("WaitableTimer");
    const long Threads = MachineHandlesLiveOfKind("Thread");
    const long Processes = MachineHandlesLiveOfKind("Process");
    const long All = MachineHandlesLive();
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hTimer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    HANDLE hThread = CreateThread(nullptr, 0, &ReturnZero, nullptr, CREATE_SUSPENDED, nullptr);
    HANDLE hProcess = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &hProcess, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(MachineHandlesLiveOfKind("Event"), Events + 1);
    EXPECT_EQ(MachineHandlesLiveOfKind("WaitableTimer"), Timers + 1);
    EXPECT_EQ(MachineHandlesLiveOfKind("Thread"), Threads + 1);
    EXPECT_EQ(MachineHandlesLiveOfKind("Process"), Processes + 1);
    EXPECT_EQ(MachineHandlesLive(), All + 4);
    EXPECT_TRUE(TerminateThread(hThread, 0));
    for (HANDLE hHandle : {hEvent, hTimer, hThread, hProcess})
        EXPECT_TRUE(CloseHandle(hHandle));
    EXPECT_EQ(MachineHandlesLive(), All);
    EXPECT_EQ(MachineHandlesLiveOfKind("Event"), Events);
    EXPECT_EQ(MachineHandlesLiveOfKind(nullptr), 0);
}

TEST(MachineHandles, ClosedValuesAreNeverGivenOutAgain) {
    HANDLE hStale = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hStale, nullptr);
    ASSERT_TRUE(CloseHandle(hStale));
    std::set<uintptr_t> Seen = {reinterpret_cast<uintptr_t>(hStale)};
    for (int Round = 0; Round < 1000; ++Round) {
        HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(hEvent, nullptr);
        EXPECT_TRUE(Seen.insert(reinterpret_cast<uintptr_t>(hEvent)).second) << "value reused";
        ASSERT_TRUE(CloseHandle(hEvent));
    }
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WaitForSingleObject(hStale, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(MachineHandles, DuplicateCloseSourceKeepsOneHandle) {
    const long All = MachineHandlesLive();
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hDuplicate = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), hEvent, GetCurrentProcess(), &hDuplicate, 0, FALSE,
                                DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));
    EXPECT_EQ(MachineHandlesLive(), All + 1);
    EXPECT_NE(hDuplicate, hEvent);
    EXPECT_FALSE(CloseHandle(hEvent));
    EXPECT_TRUE(CloseHandle(hDuplicate));
    EXPECT_EQ(MachineHandlesLive(), All);
}

TEST(MachineThreads, SuspendedThreadCountsUntilTerminated) {
    const long Live = MachineThreadsLive();
    HANDLE hThread = CreateThread(nullptr, 0, &ReturnZero, nullptr, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(hThread, nullptr);
    EXPECT_EQ(MachineThreadsLive(), Live + 1);
    EXPECT_TRUE(TerminateThread(hThread, 3));
    EXPECT_EQ(MachineThreadsLive(), Live);
    // Terminating an ended thread changes nothing.
    EXPECT_TRUE(TerminateThread(hThread, 4));
    DWORD Code = 0;
    EXPECT_TRUE(GetExitCodeThread(hThread, &Code));
    EXPECT_EQ(Code, 3u);
    CloseHandle(hThread);
}

// POSIX cannot stop a running thread safely: the platform refuses, and the
// thread runs on undisturbed.
TEST(MachineThreads, TerminateOfRunningThreadIsRefused) {
    HANDLE hFinish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hRunning = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        TestThread Worker([=]() -> DWORD {
            SetEvent(hRunning);
            return WaitForSingleObject(hFinish, INFINITE) == WAIT_OBJECT_0 ? 8 : 9;
        });
        ASSERT_EQ(WaitForSingleObject(hRunning, TestThread::kJoinLimitMilliseconds), WAIT_OBJECT_0);
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(TerminateThread(Worker.HandleGet(), 1));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
        EXPECT_EQ(Worker.ExitCodeGet(), static_cast<DWORD>(STILL_ACTIVE));
        SetEvent(hFinish);
        ASSERT_TRUE(Worker.ExitWait());
        EXPECT_EQ(Worker.ExitCodeGet(), 8u);
    }
    CloseHandle(hFinish);
    CloseHandle(hRunning);
}

TEST(MachineThreads, ThreadMayTerminateItself) {
    TestThread Worker([]() -> DWORD {
        TerminateThread(GetCurrentThread(), 4);
        return 5;  // never reached
    });
    ASSERT_TRUE(Worker.ExitWait());
    EXPECT_EQ(Worker.ExitCodeGet(), 4u);
}

// Threads not made by CreateThread get an identifier and a thread object too.
TEST(MachineThreads, ForeignThreadHasIdentityAndEnds) {
    DWORD ForeignId = 0;
    DWORD ForeignIdAgain = 0;
    HANDLE hForeign = nullptr;
    std::thread Foreign([&] {
        ForeignId = GetCurrentThreadId();
        ForeignIdAgain = GetCurrentThreadId();
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &hForeign, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    });
    Foreign.join();
    EXPECT_NE(ForeignId, 0u);
    EXPECT_EQ(ForeignId, ForeignIdAgain);
    EXPECT_NE(ForeignId, GetCurrentThreadId());
    ASSERT_NE(hForeign, nullptr);
    EXPECT_EQ(WaitForSingleObject(hForeign, TestThread::kJoinLimitMilliseconds), WAIT_OBJECT_0);
    CloseHandle(hForeign);
}

// One SetEvent of an auto-reset event with two blocked waiters releases
// exactly one of them.
TEST(MachineWaiters, AutoResetSignalReleasesExactlyOneWaiter) {
    HANDLE hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    const long Blocked = MachineWaitersBlocked();
    {
        TestThread First([hEvent]() -> DWORD { return WaitForSingleObject(hEvent, INFINITE); });
        TestThread Second([hEvent]() -> DWORD { return WaitForSingleObject(hEvent, INFINITE); });
        ASSERT_TRUE(MachineWaitersBlockedAwait(Blocked + 2, 10000));
        ASSERT_TRUE(SetEvent(hEvent));
        const HANDLE Threads[] = {First.HandleGet(), Second.HandleGet()};
        const DWORD Ended = WaitForMultipleObjects(2, Threads, FALSE, TestThread::kJoinLimitMilliseconds);
        ASSERT_TRUE(Ended == WAIT_OBJECT_0 || Ended == WAIT_OBJECT_0 + 1);
        EXPECT_EQ(MachineWaitersBlocked(), Blocked + 1);  // the other one still waits
        EXPECT_EQ(WaitForSingleObject(Threads[1 - (Ended - WAIT_OBJECT_0)], 0), WAIT_TIMEOUT);
        ASSERT_TRUE(SetEvent(hEvent));
        ASSERT_TRUE(First.ExitWait());
        ASSERT_TRUE(Second.ExitWait());
    }
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);
    CloseHandle(hEvent);
}

TEST(MachineWaiters, ImmediateWaitsAreNotCounted) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    const long Blocked = MachineWaitersBlocked();
    EXPECT_EQ(WaitForSingleObject(hEvent, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(MachineWaitersBlocked(), Blocked);
    EXPECT_FALSE(MachineWaitersBlockedAwait(Blocked + 1, 1));
    CloseHandle(hEvent);
}

TEST(MachineRefusals, NamedObjectsAndCompletionRoutinesAreNotSupported) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, L"Name"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateWaitableTimerW(nullptr, TRUE, L"Name"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    HANDLE hTimer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    LARGE_INTEGER Due;
    Due.QuadPart = -1;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetWaitableTimer(
        hTimer, &Due, 0, [](LPVOID, DWORD, DWORD) {}, nullptr, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    CloseHandle(hTimer);
}

TEST(MachineProcess, OnlyTheCurrentProcessOpens) {
    HANDLE hProcess = OpenProcess(PROCESS_DUP_HANDLE, FALSE, GetCurrentProcessId());
    ASSERT_NE(hProcess, nullptr);
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hDuplicate = nullptr;
    EXPECT_TRUE(DuplicateHandle(GetCurrentProcess(), hEvent, hProcess, &hDuplicate, 0, FALSE, DUPLICATE_SAME_ACCESS));
    EXPECT_TRUE(SetEvent(hDuplicate));
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(hProcess, 0), WAIT_TIMEOUT);  // running
    SetLastError(0xdeadbeef);
    EXPECT_EQ(OpenProcess(PROCESS_DUP_HANDLE, FALSE, GetCurrentProcessId() + 1), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    for (HANDLE hHandle : {hProcess, hEvent, hDuplicate})
        CloseHandle(hHandle);
}

TEST(MachineReset, ClosesEveryHandleAndRestoresClock) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hTimer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    MachineClockScaleSet(50.0);
    const SYSTEMTIME Fixed = {2020, 1, 3, 1, 0, 0, 0, 0};
    MachineLocalTimeSet(&Fixed);
    MachineKernelReset();
    EXPECT_EQ(MachineHandlesLive(), 0);
    EXPECT_FALSE(CloseHandle(hEvent));
    EXPECT_FALSE(CloseHandle(hTimer));
    EXPECT_EQ(MachineClockScaleGet(), 1.0);
    SYSTEMTIME Seen;
    GetLocalTime(&Seen);
    EXPECT_NE(Seen.wYear, 2020);
}

}  // namespace
