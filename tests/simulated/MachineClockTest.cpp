// The machine clock: scaled time for timeouts, Sleep, timers and counters.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <thread>

#include "platform/machine.h"
#include "platform/win32.h"

namespace {

constexpr double kFast = 1000.0;                  // 10 s of machine time in 10 ms
constexpr DWORD kMachineLimit = 1000 * 1000;      // machine ms; about 1 s of real time at kFast
constexpr LONGLONG kTicksPerMillisecond = 10000;  // 100 ns units

class MachineClock : public ::testing::Test {
protected:
    void TearDown() override { MachineClockScaleSet(1.0); }
};

TEST_F(MachineClock, ScaledSleepAdvancesTickCountAndCounterByItsLength) {
    MachineClockScaleSet(kFast);
    const ULONGLONG TicksBefore = GetTickCount64();
    LARGE_INTEGER CounterBefore;
    QueryPerformanceCounter(&CounterBefore);
    Sleep(10000);
    const ULONGLONG TicksAfter = GetTickCount64();
    LARGE_INTEGER CounterAfter;
    QueryPerformanceCounter(&CounterAfter);
    LARGE_INTEGER Frequency;
    QueryPerformanceFrequency(&Frequency);
    EXPECT_GE(TicksAfter - TicksBefore, 10000u);
    EXPECT_GE(CounterAfter.QuadPart - CounterBefore.QuadPart, 10 * Frequency.QuadPart);
}

TEST_F(MachineClock, ScaledTimeoutEndsAfterItsMachineLength) {
    HANDLE hNever = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hNever, nullptr);
    MachineClockScaleSet(kFast);
    const ULONGLONG Before = GetTickCount64();
    EXPECT_EQ(WaitForSingleObject(hNever, 10000), WAIT_TIMEOUT);
    EXPECT_GE(GetTickCount64() - Before, 10000u);
    CloseHandle(hNever);
}

TEST_F(MachineClock, ScaledTimerFiresAtItsMachineDueTime) {
    HANDLE hTimer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    ASSERT_NE(hTimer, nullptr);
    MachineClockScaleSet(kFast);
    const ULONGLONG Before = GetTickCount64();
    LARGE_INTEGER Due;
    Due.QuadPart = -10000 * kTicksPerMillisecond;  // 10 s
    ASSERT_TRUE(SetWaitableTimer(hTimer, &Due, 0, nullptr, nullptr, FALSE));
    EXPECT_EQ(WaitForSingleObject(hTimer, kMachineLimit), WAIT_OBJECT_0);
    EXPECT_GE(GetTickCount64() - Before, 10000u);
    CloseHandle(hTimer);
}

// The frame-buffer threads' pattern: a wait on an event and an inactivity
// timer with a 10 s time-out, over and over.
TEST_F(MachineClock, RepeatedTimeoutsAndTimerInOneWaitList) {
    HANDLE hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE hTimer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    ASSERT_NE(hTimer, nullptr);
    MachineClockScaleSet(kFast);
    const HANDLE Handles[] = {hEvent, hTimer};
    for (int Round = 0; Round < 3; ++Round)
        EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, 10000), WAIT_TIMEOUT) << "round " << Round;
    LARGE_INTEGER Due;
    Due.QuadPart = -150 * kTicksPerMillisecond;
    ASSERT_TRUE(SetWaitableTimer(hTimer, &Due, 0, nullptr, nullptr, FALSE));
    EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, 10000), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, 10000), WAIT_TIMEOUT);
    CloseHandle(hEvent);
    CloseHandle(hTimer);
}

// A wait already blocked picks up a new scale at once. Its end is awaited in
// real time (a platform wait would shrink with the scale too).
TEST_F(MachineClock, ScaleChangeReachesBlockedWait) {
    HANDLE hNever = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hNever, nullptr);
    const long Blocked = MachineWaitersBlocked();
    std::promise<DWORD> Result;
    std::future<DWORD> Ended = Result.get_future();
    std::thread Waiter([&] { Result.set_value(WaitForSingleObject(hNever, 3600 * 1000)); });
    EXPECT_TRUE(MachineWaitersBlockedAwait(Blocked + 1, 10000));
    MachineClockScaleSet(1e6);  // the hour passes in about 4 ms
    if (Ended.wait_for(std::chrono::seconds(10)) == std::future_status::ready) {
        EXPECT_EQ(Ended.get(), WAIT_TIMEOUT);
    } else {
        ADD_FAILURE() << "the blocked wait kept its old deadline";
        SetEvent(hNever);
    }
    Waiter.join();
    CloseHandle(hNever);
}

TEST_F(MachineClock, InvalidScalesAreIgnored) {
    MachineClockScaleSet(4.0);
    for (double Factor : {0.0, -1.0, std::nan(""), HUGE_VAL})
        MachineClockScaleSet(Factor);
    EXPECT_EQ(MachineClockScaleGet(), 4.0);
}

TEST(MachineLocalTime, FixedLocalTimeIsReportedUntilCleared) {
    const SYSTEMTIME Fixed = {2021, 3, 2, 16, 13, 14, 15, 161};
    MachineLocalTimeSet(&Fixed);
    SYSTEMTIME Seen;
    GetLocalTime(&Seen);
    EXPECT_EQ(Seen.wYear, 2021);
    EXPECT_EQ(Seen.wMonth, 3);
    EXPECT_EQ(Seen.wDayOfWeek, 2);
    EXPECT_EQ(Seen.wDay, 16);
    EXPECT_EQ(Seen.wHour, 13);
    EXPECT_EQ(Seen.wMinute, 14);
    EXPECT_EQ(Seen.wSecond, 15);
    EXPECT_EQ(Seen.wMilliseconds, 161);
    MachineLocalTimeClear();
    GetLocalTime(&Seen);
    EXPECT_GT(Seen.wYear, 2021);
}

}  // namespace
