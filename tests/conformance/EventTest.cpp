// Events: the rules of the Win32 documentation that the library relies on.
#include <gtest/gtest.h>

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

}  // namespace
