// CloseHandle and DuplicateHandle: closing, pseudo handles, duplicates that
// outlive their source.
#include <gtest/gtest.h>

#include <cstdint>

#include "TestThread.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kErrorInvalidHandle = ERROR_INVALID_HANDLE;

HANDLE Duplicate(HANDLE hSource, DWORD dwOptions = DUPLICATE_SAME_ACCESS) {
    HANDLE hTarget = nullptr;
    EXPECT_TRUE(DuplicateHandle(GetCurrentProcess(), hSource, GetCurrentProcess(), &hTarget, 0, FALSE, dwOptions))
        << "error " << GetLastError();
    return hTarget;
}

DWORD WINAPI FinishWait(LPVOID lpParameter) {
    return WaitForSingleObject(static_cast<HANDLE>(lpParameter), TestThread::kJoinLimitMilliseconds);
}

TEST(Handle, SecondCloseFailsWithInvalidHandle) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    EXPECT_TRUE(CloseHandle(hEvent));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(hEvent));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST(Handle, CloseOfNullFailsWithInvalidHandle) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST(Handle, CloseOfPseudoHandlesHasNoEffect) {
    EXPECT_EQ(GetCurrentProcess(), INVALID_HANDLE_VALUE);  // so closing that "succeeds" too
    EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
    EXPECT_TRUE(CloseHandle(GetCurrentThread()));
    // Still usable afterwards.
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
    HANDLE hProcess = Duplicate(GetCurrentProcess());
    ASSERT_NE(hProcess, nullptr);
    EXPECT_TRUE(CloseHandle(hProcess));
}

TEST(Handle, ValuesAreMultiplesOfFour) {
    HANDLE Handles[8];
    for (HANDLE& hEvent : Handles) {
        hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(hEvent, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(hEvent) % 4, 0u);
        EXPECT_NE(hEvent, INVALID_HANDLE_VALUE);
    }
    for (HANDLE hEvent : Handles)
        CloseHandle(hEvent);
}

TEST(Handle, DuplicateSharesTheObject) {
    HANDLE hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    HANDLE hDuplicate = Duplicate(hEvent);
    ASSERT_NE(hDuplicate, nullptr);
    EXPECT_NE(hDuplicate, hEvent);
    ASSERT_TRUE(SetEvent(hEvent));
    EXPECT_EQ(WaitForSingleObject(hDuplicate, 0), WAIT_OBJECT_0);  // consumed through the duplicate
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(hDuplicate));
    EXPECT_TRUE(CloseHandle(hEvent));
}

TEST(Handle, DuplicateStaysUsableAfterOriginalIsClosed) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    HANDLE hDuplicate = Duplicate(hEvent);
    ASSERT_NE(hDuplicate, nullptr);
    ASSERT_TRUE(CloseHandle(hEvent));
    EXPECT_TRUE(SetEvent(hDuplicate));
    EXPECT_EQ(WaitForSingleObject(hDuplicate, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(hDuplicate));
}

TEST(Handle, DuplicateCloseSourceClosesTheSource) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    HANDLE hDuplicate = Duplicate(hEvent, DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE);
    ASSERT_NE(hDuplicate, nullptr);
    // Windows may hand the freed value straight out again for the duplicate;
    // only a different value must have stopped working.
    if (hDuplicate != hEvent) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(SetEvent(hEvent));
        EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    }
    EXPECT_TRUE(SetEvent(hDuplicate));
    EXPECT_EQ(WaitForSingleObject(hDuplicate, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(hDuplicate));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(hDuplicate));  // the only handle is gone
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST(Handle, DuplicateOfClosedHandleFails) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    ASSERT_TRUE(CloseHandle(hEvent));
    HANDLE hTarget = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), hEvent, GetCurrentProcess(), &hTarget, 0, FALSE,
                                 DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST(Handle, DuplicateWithNonProcessAsProcessFails) {
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hEvent, nullptr);
    HANDLE hTarget = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DuplicateHandle(hEvent, hEvent, GetCurrentProcess(), &hTarget, 0, FALSE, DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), hEvent, hEvent, &hTarget, 0, FALSE, DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    EXPECT_TRUE(CloseHandle(hEvent));
}

// A thread's duplicate of its own pseudo handle names that thread wherever it
// is used, and is signalled when the thread ends.
TEST(Handle, DuplicateOfCurrentThreadPseudoHandleNamesThatThread) {
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hFinish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hReady, nullptr);
    ASSERT_NE(hFinish, nullptr);
    HANDLE hWorkerSelf = nullptr;
    {
        TestThread Worker([&]() -> DWORD {
            DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &hWorkerSelf, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
            SetEvent(hReady);
            return WaitForSingleObject(hFinish, TestThread::kJoinLimitMilliseconds) == WAIT_OBJECT_0 ? 5 : 6;
        });
        ASSERT_EQ(WaitForSingleObject(hReady, TestThread::kJoinLimitMilliseconds), WAIT_OBJECT_0);
        ASSERT_NE(hWorkerSelf, nullptr);
        EXPECT_NE(hWorkerSelf, GetCurrentThread());
        EXPECT_EQ(WaitForSingleObject(hWorkerSelf, 0), WAIT_TIMEOUT);
        ASSERT_TRUE(SetEvent(hFinish));
        EXPECT_EQ(WaitForSingleObject(hWorkerSelf, TestThread::kJoinLimitMilliseconds), WAIT_OBJECT_0);
        DWORD Code = 0;
        EXPECT_TRUE(GetExitCodeThread(hWorkerSelf, &Code));
        EXPECT_EQ(Code, 5u);
    }
    EXPECT_TRUE(CloseHandle(hWorkerSelf));
    CloseHandle(hReady);
    CloseHandle(hFinish);
}

// The thread's own handle may be closed while another thread waits on a
// duplicate of it: the wait still ends when the thread ends.
TEST(Handle, WaitOnDuplicateSurvivesCloseOfOriginal) {
    HANDLE hFinish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(hFinish, nullptr);
    HANDLE hThread = CreateThread(nullptr, 0, &FinishWait, hFinish, 0, nullptr);
    ASSERT_NE(hThread, nullptr);
    HANDLE hDuplicate = Duplicate(hThread);
    ASSERT_NE(hDuplicate, nullptr);
    EXPECT_TRUE(CloseHandle(hThread));
    ASSERT_TRUE(SetEvent(hFinish));
    EXPECT_EQ(WaitForSingleObject(hDuplicate, TestThread::kJoinLimitMilliseconds), WAIT_OBJECT_0);
    DWORD Code = 0xBAD;
    EXPECT_TRUE(GetExitCodeThread(hDuplicate, &Code));
    EXPECT_EQ(Code, WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(hDuplicate));
    CloseHandle(hFinish);
}

}  // namespace
