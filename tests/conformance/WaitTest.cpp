// WaitForSingleObject and WaitForMultipleObjects: which object wins, what is
// consumed, time-outs and refused arguments.
#include <gtest/gtest.h>

#include <vector>

#include "TestThread.h"
#include "platform/PlatformInfo.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kErrorInvalidHandle = ERROR_INVALID_HANDLE;
constexpr DWORD kErrorInvalidParameter = ERROR_INVALID_PARAMETER;

// A set of events that closes itself.
class EventSet {
public:
    EventSet(size_t Count, BOOL bManualReset) {
        for (size_t Index = 0; Index < Count; ++Index) {
            m_Handles.push_back(CreateEventW(nullptr, bManualReset, FALSE, nullptr));
            EXPECT_NE(m_Handles.back(), nullptr);
        }
    }
    ~EventSet() {
        for (HANDLE hEvent : m_Handles)
            CloseHandle(hEvent);
    }
    EventSet(const EventSet&) = delete;
    EventSet& operator=(const EventSet&) = delete;

    HANDLE operator[](size_t Index) const { return m_Handles[Index]; }
    const HANDLE* Data() const { return m_Handles.data(); }
    DWORD Count() const { return static_cast<DWORD>(m_Handles.size()); }
    bool SignalledIs(size_t Index) const {
        // Only for manual-reset sets or when consuming is intended.
        return WaitForSingleObject(m_Handles[Index], 0) == WAIT_OBJECT_0;
    }

private:
    std::vector<HANDLE> m_Handles;
};

struct WaitAnyCase {
    std::vector<size_t> Signalled;
    DWORD ExpectedIndex;
};

class WaitAny : public ::testing::TestWithParam<WaitAnyCase> {};

TEST_P(WaitAny, LowestSignalledIndexWinsAndOnlyItIsConsumed) {
    const WaitAnyCase& Case = GetParam();
    EventSet Events(4, FALSE);
    for (size_t Index : Case.Signalled)
        ASSERT_TRUE(SetEvent(Events[Index]));
    EXPECT_EQ(WaitForMultipleObjects(Events.Count(), Events.Data(), FALSE, 0), WAIT_OBJECT_0 + Case.ExpectedIndex);
    for (size_t Index = 0; Index < Events.Count(); ++Index) {
        bool bWasSignalled = false;
        for (size_t Signalled : Case.Signalled)
            bWasSignalled = bWasSignalled || Signalled == Index;
        const bool bExpected = bWasSignalled && Index != Case.ExpectedIndex;
        EXPECT_EQ(Events.SignalledIs(Index), bExpected) << "event " << Index;
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, WaitAny,
                         ::testing::Values(WaitAnyCase{{0}, 0}, WaitAnyCase{{3}, 3}, WaitAnyCase{{1, 3}, 1},
                                           WaitAnyCase{{3, 2}, 2}, WaitAnyCase{{0, 1, 2, 3}, 0}));

TEST(Wait, WaitAnyConsumesOnlyTheWinnerAmongManualAndAuto) {
    HANDLE hManual = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE hAuto = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(hManual, nullptr);
    ASSERT_NE(hAuto, nullptr);
    const HANDLE Handles[] = {hAuto, hManual};
    EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    CloseHandle(hManual);
    CloseHandle(hAuto);
}

TEST(Wait, TimesOutWhenNothingIsSignalled) {
    EventSet Events(2, FALSE);
    EXPECT_EQ(WaitForSingleObject(Events[0], 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(Events[0], 20), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForMultipleObjects(Events.Count(), Events.Data(), FALSE, 20), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForMultipleObjects(Events.Count(), Events.Data(), TRUE, 20), WAIT_TIMEOUT);
}

TEST(Wait, WaitAllNeedsEverySignalAndConsumesNothingBefore) {
    EventSet Events(3, FALSE);
    ASSERT_TRUE(SetEvent(Events[0]));
    ASSERT_TRUE(SetEvent(Events[2]));
    EXPECT_EQ(WaitForMultipleObjects(Events.Count(), Events.Data(), TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForMultipleObjects(Events.Count(), Events.Data(), TRUE, 20), WAIT_TIMEOUT);
    // Nothing was taken by the failed waits.
    ASSERT_TRUE(SetEvent(Events[1]));
    EXPECT_EQ(WaitForMultipleObjects(Events.Count(), Events.Data(), TRUE, 0), WAIT_OBJECT_0);
    // All three auto-reset events were consumed together.
    for (size_t Index = 0; Index < Events.Count(); ++Index)
        EXPECT_FALSE(Events.SignalledIs(Index)) << "event " << Index;
}

TEST(Wait, WaitAllLeavesManualResetEventsSignalled) {
    EventSet Events(2, TRUE);
    ASSERT_TRUE(SetEvent(Events[0]));
    ASSERT_TRUE(SetEvent(Events[1]));
    EXPECT_EQ(WaitForMultipleObjects(Events.Count(), Events.Data(), TRUE, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(Events.SignalledIs(0));
    EXPECT_TRUE(Events.SignalledIs(1));
}

// A blocked wait-all holds nothing: another thread may take one of its
// events, and the wait completes only when all are signalled at once.
TEST(Wait, WaitAllTakesNothingWhileBlocked) {
    EventSet Events(2, FALSE);
    TestThread Waiter(
        [&Events]() -> DWORD { return WaitForMultipleObjects(Events.Count(), Events.Data(), TRUE, INFINITE); });
    ASSERT_TRUE(SetEvent(Events[0]));
    EXPECT_EQ(WaitForSingleObject(Events[0], 0), WAIT_OBJECT_0);  // still there for the taking
    ASSERT_TRUE(SetEvent(Events[1]));
    EXPECT_EQ(WaitForSingleObject(Waiter.HandleGet(), 50), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(Events[0]));
    ASSERT_TRUE(Waiter.ExitWait());
    EXPECT_EQ(Waiter.ExitCodeGet(), WAIT_OBJECT_0);
    EXPECT_FALSE(Events.SignalledIs(0));
    EXPECT_FALSE(Events.SignalledIs(1));
}

TEST(Wait, SignalFromAnotherThreadEndsWaitAnyWithItsIndex) {
    EventSet Events(3, FALSE);
    TestThread Waiter(
        [&Events]() -> DWORD { return WaitForMultipleObjects(Events.Count(), Events.Data(), FALSE, INFINITE); });
    ASSERT_TRUE(SetEvent(Events[2]));
    ASSERT_TRUE(Waiter.ExitWait());
    EXPECT_EQ(Waiter.ExitCodeGet(), WAIT_OBJECT_0 + 2);
    EXPECT_FALSE(Events.SignalledIs(2));
}

TEST(Wait, ThreadHandleIsWaitable) {
    HANDLE hNever = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hNever, nullptr);
    ASSERT_NE(hGo, nullptr);
    {
        TestThread Worker([hGo]() -> DWORD { return WaitForSingleObject(hGo, INFINITE) == WAIT_OBJECT_0 ? 5 : 6; });
        const HANDLE Handles[] = {hNever, Worker.HandleGet()};
        EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, 0), WAIT_TIMEOUT);
        ASSERT_TRUE(SetEvent(hGo));
        EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, TestThread::kJoinLimitMilliseconds), WAIT_OBJECT_0 + 1);
        EXPECT_EQ(Worker.ExitCodeGet(), 5u);
        // An ended thread stays signalled.
        EXPECT_EQ(WaitForSingleObject(Worker.HandleGet(), 0), WAIT_OBJECT_0);
    }
    CloseHandle(hNever);
    CloseHandle(hGo);
}

struct BadHandleCase {
    size_t BadIndex;
    BOOL bWaitAll;
};

class WaitBadHandle : public ::testing::TestWithParam<BadHandleCase> {};

TEST_P(WaitBadHandle, ClosedHandleAnywhereFailsAndConsumesNothing) {
    const BadHandleCase Case = GetParam();
    EventSet Events(3, FALSE);
    HANDLE hClosed = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(hClosed, nullptr);
    ASSERT_TRUE(CloseHandle(hClosed));
    std::vector<HANDLE> Handles = {Events[0], Events[1], Events[2]};
    Handles[Case.BadIndex] = hClosed;
    for (size_t Index = 0; Index < Handles.size(); ++Index) {
        if (Index != Case.BadIndex) {
            ASSERT_TRUE(SetEvent(Handles[Index]));
        }
    }
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WaitForMultipleObjects(3, Handles.data(), Case.bWaitAll, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    for (size_t Index = 0; Index < Handles.size(); ++Index) {
        if (Index != Case.BadIndex) {
            EXPECT_EQ(WaitForSingleObject(Handles[Index], 0), WAIT_OBJECT_0) << "event " << Index << " was consumed";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, WaitBadHandle,
                         ::testing::Values(BadHandleCase{0, FALSE}, BadHandleCase{1, FALSE}, BadHandleCase{2, FALSE},
                                           BadHandleCase{0, TRUE}, BadHandleCase{2, TRUE}));

TEST(Wait, NullAndClosedSingleHandlesFail) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    HANDLE hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    ASSERT_TRUE(CloseHandle(hEvent));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WaitForSingleObject(hEvent, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

class WaitCount : public ::testing::TestWithParam<DWORD> {};

TEST_P(WaitCount, OutOfRangeCountIsRefused) {
    std::vector<HANDLE> Handles(MAXIMUM_WAIT_OBJECTS + 1);
    for (HANDLE& hEvent : Handles) {
        hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        ASSERT_NE(hEvent, nullptr);
    }
    for (BOOL bWaitAll : {FALSE, TRUE}) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(WaitForMultipleObjects(GetParam(), Handles.data(), bWaitAll, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    }
    for (HANDLE hEvent : Handles)
        CloseHandle(hEvent);
}

INSTANTIATE_TEST_SUITE_P(Counts, WaitCount, ::testing::Values(0u, MAXIMUM_WAIT_OBJECTS + 1u));

TEST(Wait, MaximumCountIsAccepted) {
    EventSet Events(MAXIMUM_WAIT_OBJECTS, TRUE);
    ASSERT_TRUE(SetEvent(Events[MAXIMUM_WAIT_OBJECTS - 1]));
    EXPECT_EQ(WaitForMultipleObjects(Events.Count(), Events.Data(), FALSE, 0),
              WAIT_OBJECT_0 + MAXIMUM_WAIT_OBJECTS - 1);
}

// The array may not hold the same object twice for a wait-all.
TEST(Wait, WaitAllRefusesTheSameObjectTwice) {
    EventSet Events(1, TRUE);
    ASSERT_TRUE(SetEvent(Events[0]));
    const HANDLE Handles[] = {Events[0], Events[0]};
    SetLastError(0xdeadbeef);
    const DWORD Result = WaitForMultipleObjects(2, Handles, TRUE, 0);
    if (IsWine()) {
        EXPECT_EQ(Result, WAIT_OBJECT_0) << "Wine deviation gone: it now refuses duplicates";
    } else {
        EXPECT_EQ(Result, WAIT_FAILED);
        EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    }
    // Wait-any accepts it.
    EXPECT_EQ(WaitForMultipleObjects(2, Handles, FALSE, 0), WAIT_OBJECT_0);
}

}  // namespace
