// Waitable timers: relative and absolute due times, one-shot and periodic,
// re-arming and cancelling, manual-reset and synchronization kinds.
#include <gtest/gtest.h>

#include "platform/PlatformInfo.h"
#include "platform/win32.h"

namespace {

constexpr LONGLONG kTicksPerMillisecond = 10000;  // 100 ns units
constexpr DWORD kFireLimitMilliseconds = 10000;   // a due timer fires long before this
constexpr DWORD kQuietMilliseconds = 200;         // a timer not due must stay quiet this long

LARGE_INTEGER RelativeDue(LONGLONG Milliseconds) {
    LARGE_INTEGER Due;
    Due.QuadPart = -Milliseconds * kTicksPerMillisecond;
    return Due;
}

LARGE_INTEGER AbsoluteDueFromNow(LONGLONG Milliseconds) {
    FILETIME Now;
    GetSystemTimeAsFileTime(&Now);
    ULARGE_INTEGER Value;
    Value.LowPart = Now.dwLowDateTime;
    Value.HighPart = Now.dwHighDateTime;
    LARGE_INTEGER Due;
    Due.QuadPart = static_cast<LONGLONG>(Value.QuadPart) + Milliseconds * kTicksPerMillisecond;
    return Due;
}

BOOL TimerArm(HANDLE hTimer, LARGE_INTEGER Due, LONG Period = 0) {
    return SetWaitableTimer(hTimer, &Due, Period, nullptr, nullptr, FALSE);
}

// Each test runs for a manual-reset and for a synchronization timer.
class WaitableTimer : public ::testing::TestWithParam<BOOL> {
protected:
    void SetUp() override {
        m_hTimer = CreateWaitableTimerW(nullptr, GetParam(), nullptr);
        ASSERT_NE(m_hTimer, nullptr);
    }
    void TearDown() override {
        if (m_hTimer != nullptr) {
            EXPECT_TRUE(CloseHandle(m_hTimer));
        }
    }
    bool ManualIs() const { return GetParam() != FALSE; }

    HANDLE m_hTimer = nullptr;
};

TEST_P(WaitableTimer, NotSignalledBeforeArming) { EXPECT_EQ(WaitForSingleObject(m_hTimer, 0), WAIT_TIMEOUT); }

TEST_P(WaitableTimer, RelativeDueTimeFires) {
    ASSERT_TRUE(TimerArm(m_hTimer, RelativeDue(10)));
    EXPECT_EQ(WaitForSingleObject(m_hTimer, kFireLimitMilliseconds), WAIT_OBJECT_0);
    // One-shot: a manual-reset timer stays signalled, a synchronization timer
    // was consumed by the wait and does not fire again.
    EXPECT_EQ(WaitForSingleObject(m_hTimer, ManualIs() ? 0 : kQuietMilliseconds),
              ManualIs() ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
}

TEST_P(WaitableTimer, AbsoluteDueTimeFires) {
    ASSERT_TRUE(TimerArm(m_hTimer, AbsoluteDueFromNow(20)));
    EXPECT_EQ(WaitForSingleObject(m_hTimer, kFireLimitMilliseconds), WAIT_OBJECT_0);
}

TEST_P(WaitableTimer, AbsoluteDueTimeInThePastFiresAtOnce) {
    ASSERT_TRUE(TimerArm(m_hTimer, AbsoluteDueFromNow(-10000)));
    EXPECT_EQ(WaitForSingleObject(m_hTimer, kFireLimitMilliseconds), WAIT_OBJECT_0);
}

TEST_P(WaitableTimer, RearmingWithLaterDueTimeReplacesEarlierOne) {
    ASSERT_TRUE(TimerArm(m_hTimer, RelativeDue(10)));
    ASSERT_TRUE(TimerArm(m_hTimer, RelativeDue(3600 * 1000)));
    EXPECT_EQ(WaitForSingleObject(m_hTimer, kQuietMilliseconds), WAIT_TIMEOUT);
}

TEST_P(WaitableTimer, RearmingWithEarlierDueTimeReplacesLaterOne) {
    ASSERT_TRUE(TimerArm(m_hTimer, RelativeDue(3600 * 1000)));
    ASSERT_TRUE(TimerArm(m_hTimer, RelativeDue(10)));
    EXPECT_EQ(WaitForSingleObject(m_hTimer, kFireLimitMilliseconds), WAIT_OBJECT_0);
}

TEST_P(WaitableTimer, RearmingClearsSignalledState) {
    ASSERT_TRUE(TimerArm(m_hTimer, RelativeDue(1)));
    if (ManualIs()) {
        ASSERT_EQ(WaitForSingleObject(m_hTimer, kFireLimitMilliseconds), WAIT_OBJECT_0);  // fired, still signalled
    } else {
        // Looking would consume it: let the due time pass unobserved instead.
        HANDLE hNever = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(hNever, nullptr);
        EXPECT_EQ(WaitForSingleObject(hNever, 20), WAIT_TIMEOUT);
        CloseHandle(hNever);
    }
    ASSERT_TRUE(TimerArm(m_hTimer, RelativeDue(3600 * 1000)));
    const DWORD Result = WaitForSingleObject(m_hTimer, 0);
    if (IsWine() && !ManualIs()) {
        EXPECT_EQ(Result, WAIT_OBJECT_0) << "Wine deviation gone: re-arming now clears a synchronization timer";
    } else {
        EXPECT_EQ(Result, WAIT_TIMEOUT);
    }
}

TEST_P(WaitableTimer, CancelStopsPendingTimer) {
    ASSERT_TRUE(TimerArm(m_hTimer, RelativeDue(10)));
    ASSERT_TRUE(CancelWaitableTimer(m_hTimer));
    EXPECT_EQ(WaitForSingleObject(m_hTimer, kQuietMilliseconds), WAIT_TIMEOUT);
}

TEST_P(WaitableTimer, TimerEndsWaitAnyAtItsIndex) {
    HANDLE hNever = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hNever, nullptr);
    const HANDLE Handles[] = {hNever, m_hTimer};
    ASSERT_TRUE(TimerArm(m_hTimer, RelativeDue(10)));
    EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, kFireLimitMilliseconds), WAIT_OBJECT_0 + 1);
    CloseHandle(hNever);
}

TEST_P(WaitableTimer, NegativePeriodIsRefused) {
    LARGE_INTEGER Due = RelativeDue(10);
    SetLastError(0xdeadbeef);
    const BOOL bResult = SetWaitableTimer(m_hTimer, &Due, -1, nullptr, nullptr, FALSE);
    if (IsWine()) {
        EXPECT_TRUE(bResult) << "Wine deviation gone: a negative period is now refused";
        EXPECT_TRUE(CancelWaitableTimer(m_hTimer));
    } else {
        EXPECT_FALSE(bResult);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, WaitableTimer, ::testing::Values(TRUE, FALSE),
                         [](const ::testing::TestParamInfo<BOOL>& Info) {
                             return std::string(Info.param ? "ManualReset" : "Synchronization");
                         });

TEST(WaitableTimerKinds, CancelLeavesSignalledStateOfManualTimerAlone) {
    HANDLE hTimer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    ASSERT_NE(hTimer, nullptr);
    ASSERT_TRUE(TimerArm(hTimer, RelativeDue(1)));
    ASSERT_EQ(WaitForSingleObject(hTimer, kFireLimitMilliseconds), WAIT_OBJECT_0);
    ASSERT_TRUE(CancelWaitableTimer(hTimer));
    EXPECT_EQ(WaitForSingleObject(hTimer, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(hTimer));
}

TEST(WaitableTimerKinds, PeriodicSynchronizationTimerFiresEveryPeriod) {
    HANDLE hTimer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    ASSERT_NE(hTimer, nullptr);
    ASSERT_TRUE(TimerArm(hTimer, RelativeDue(5), 5));
    for (int Round = 0; Round < 3; ++Round)
        EXPECT_EQ(WaitForSingleObject(hTimer, kFireLimitMilliseconds), WAIT_OBJECT_0) << "round " << Round;
    ASSERT_TRUE(CancelWaitableTimer(hTimer));
    EXPECT_TRUE(CloseHandle(hTimer));
}

TEST(WaitableTimerHandles, OperationsOnWrongHandlesFail) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hClosed = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    ASSERT_NE(hClosed, nullptr);
    ASSERT_TRUE(CloseHandle(hClosed));
    LARGE_INTEGER Due = RelativeDue(10);
    for (HANDLE hBad : {hEvent, hClosed}) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(SetWaitableTimer(hBad, &Due, 0, nullptr, nullptr, FALSE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(CancelWaitableTimer(hBad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    CloseHandle(hEvent);
}

}  // namespace
