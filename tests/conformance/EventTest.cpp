// Events: the rules of the Win32 documentation that the library relies on.
#include <gtest/gtest.h>

#include "TestThread.h"
#include "platform/win32.h"

namespace {

TEST(Event, AutoResetIsConsumedByOneWait) {
    HANDLE hEvent = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(hEvent));
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(hEvent));
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(hEvent));
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(hEvent));
}

struct InitialStateCase {
    BOOL bManualReset;
    BOOL bInitialState;
};

class EventInitialState : public ::testing::TestWithParam<InitialStateCase> {};

TEST_P(EventInitialState, FirstWaitSeesInitialState) {
    const InitialStateCase Case = GetParam();
    HANDLE hEvent = CreateEventW(nullptr, Case.bManualReset, Case.bInitialState, nullptr);
    ASSERT_NE(hEvent, nullptr);
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), Case.bInitialState ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
    // A second look: a manual-reset event keeps its state, an auto-reset one
    // has been consumed.
    const bool bStillSignalled = Case.bInitialState && Case.bManualReset;
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), bStillSignalled ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(hEvent));
}

INSTANTIATE_TEST_SUITE_P(Kinds, EventInitialState,
                         ::testing::Values(InitialStateCase{FALSE, FALSE}, InitialStateCase{FALSE, TRUE},
                                           InitialStateCase{TRUE, FALSE}, InitialStateCase{TRUE, TRUE}));

TEST(Event, SetTwiceWithoutWaiterSignalsOnce) {
    HANDLE hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    EXPECT_TRUE(SetEvent(hEvent));
    EXPECT_TRUE(SetEvent(hEvent));
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(hEvent));
}

TEST(Event, SetWakesWaiterOnAnotherThread) {
    HANDLE hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    {
        TestThread Waiter([hEvent]() -> DWORD { return WaitForSingleObject(hEvent, INFINITE); });
        EXPECT_TRUE(SetEvent(hEvent));
        ASSERT_TRUE(Waiter.ExitWait());
        EXPECT_EQ(Waiter.ExitCodeGet(), WAIT_OBJECT_0);
    }
    // The waiter consumed the signal.
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(hEvent));
}

TEST(Event, ManualResetReleasesEveryWaiter) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    {
        TestThread First([hEvent]() -> DWORD { return WaitForSingleObject(hEvent, INFINITE); });
        TestThread Second([hEvent]() -> DWORD { return WaitForSingleObject(hEvent, INFINITE); });
        EXPECT_TRUE(SetEvent(hEvent));
        ASSERT_TRUE(First.ExitWait());
        ASSERT_TRUE(Second.ExitWait());
        EXPECT_EQ(First.ExitCodeGet(), WAIT_OBJECT_0);
        EXPECT_EQ(Second.ExitCodeGet(), WAIT_OBJECT_0);
    }
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(hEvent));
}

TEST(Event, OperationsOnClosedHandleFail) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    ASSERT_TRUE(CloseHandle(hEvent));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetEvent(hEvent));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ResetEvent(hEvent));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Event, SetOnAnotherKindOfObjectFails) {
    HANDLE hTimer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    ASSERT_NE(hTimer, nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetEvent(hTimer));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(hTimer));
}

}  // namespace
