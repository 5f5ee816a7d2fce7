// Interlocked operations: results as documented, atomic across threads.
#include <gtest/gtest.h>

#include "TestThread.h"
#include "platform/win32.h"

namespace {

TEST(Interlocked, ResultsAreTheDocumentedValues) {
    LONG volatile Value = 5;
    EXPECT_EQ(InterlockedIncrement(&Value), 6);     // new value
    EXPECT_EQ(InterlockedDecrement(&Value), 5);     // new value
    EXPECT_EQ(InterlockedExchange(&Value, 9), 5);   // old value
    EXPECT_EQ(InterlockedExchangeAdd(&Value, 3), 9);  // old value
    EXPECT_EQ(Value, 12);
    EXPECT_EQ(InterlockedCompareExchange(&Value, 20, 11), 12);  // no match: unchanged
    EXPECT_EQ(Value, 12);
    EXPECT_EQ(InterlockedCompareExchange(&Value, 20, 12), 12);  // match: replaced
    EXPECT_EQ(Value, 20);
}

TEST(Interlocked, PointerAndWideVariants) {
    int First = 0;
    int Second = 0;
    PVOID volatile Pointer = &First;
    EXPECT_EQ(InterlockedExchangePointer(&Pointer, &Second), &First);
    EXPECT_EQ(InterlockedCompareExchangePointer(&Pointer, &First, &First), &Second);
    EXPECT_EQ(Pointer, &Second);
    EXPECT_EQ(InterlockedCompareExchangePointer(&Pointer, &First, &Second), &Second);
    EXPECT_EQ(Pointer, &First);
    LONGLONG volatile Wide = 0xFFFFFFFFLL;
    EXPECT_EQ(InterlockedIncrement64(&Wide), 0x100000000LL);
    EXPECT_EQ(InterlockedCompareExchange64(&Wide, 1, 0x100000000LL), 0x100000000LL);
    EXPECT_EQ(Wide, 1);
}

TEST(Interlocked, IncrementsFromSeveralThreadsAllCount) {
    constexpr LONG kRounds = 50000;
    LONG volatile Counter = 0;
    auto Body = [&Counter]() -> DWORD {
        for (LONG Round = 0; Round < kRounds; ++Round)
            InterlockedIncrement(&Counter);
        return 0;
    };
    {
        TestThread First(Body);
        TestThread Second(Body);
        ASSERT_TRUE(First.ExitWait());
        ASSERT_TRUE(Second.ExitWait());
    }
    EXPECT_EQ(Counter, 2 * kRounds);
}

}  // namespace
