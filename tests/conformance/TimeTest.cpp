// System and local time, tick counts and the performance counter.
#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

ULONGLONG FileTimeValue(const FILETIME& Time) {
    return (static_cast<ULONGLONG>(Time.dwHighDateTime) << 32) | Time.dwLowDateTime;
}

// Days from 1601-01-01 to the given civil date (proleptic Gregorian).
LONGLONG DaysFrom1601(int Year, int Month, int Day) {
    const int Y = Month <= 2 ? Year - 1 : Year;
    const int Era = Y / 400;
    const int YearOfEra = Y - Era * 400;
    const int MonthIndex = (Month + 9) % 12;
    const int DayOfYear = (153 * MonthIndex + 2) / 5 + Day - 1;
    const int DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
    const LONGLONG DaysFrom0000 = static_cast<LONGLONG>(Era) * 146097 + DayOfEra;
    return DaysFrom0000 - 584694;  // 0000-03-01 .. 1601-01-01
}

TEST(Time, SystemTimeAgreesWithFileTime) {
    FILETIME Before;
    SYSTEMTIME Now;
    FILETIME After;
    GetSystemTimeAsFileTime(&Before);
    GetSystemTime(&Now);
    GetSystemTimeAsFileTime(&After);
    const LONGLONG Seconds = DaysFrom1601(Now.wYear, Now.wMonth, Now.wDay) * 86400 + Now.wHour * 3600 +
                             Now.wMinute * 60 + Now.wSecond;
    const ULONGLONG Value = static_cast<ULONGLONG>(Seconds) * 10000000ULL + Now.wMilliseconds * 10000ULL;
    // Both clocks may have a coarse resolution: allow one second either way.
    EXPECT_GE(Value + 10000000ULL, FileTimeValue(Before));
    EXPECT_LE(Value, FileTimeValue(After) + 10000000ULL);
    EXPECT_LE(FileTimeValue(Before), FileTimeValue(After));
}

TEST(Time, LocalTimeFieldsAreInRange) {
    SYSTEMTIME Local;
    GetLocalTime(&Local);
    EXPECT_GE(Local.wYear, 2020);
    EXPECT_GE(Local.wMonth, 1);
    EXPECT_LE(Local.wMonth, 12);
    EXPECT_GE(Local.wDay, 1);
    EXPECT_LE(Local.wDay, 31);
    EXPECT_LE(Local.wDayOfWeek, 6);
    EXPECT_LE(Local.wHour, 23);
    EXPECT_LE(Local.wMinute, 59);
    EXPECT_LE(Local.wSecond, 59);
    EXPECT_LE(Local.wMilliseconds, 999);
}

TEST(Time, CountersNeverGoBackwards) {
    LARGE_INTEGER Frequency;
    ASSERT_TRUE(QueryPerformanceFrequency(&Frequency));
    EXPECT_GT(Frequency.QuadPart, 0);
    LARGE_INTEGER Previous;
    ASSERT_TRUE(QueryPerformanceCounter(&Previous));
    ULONGLONG PreviousTicks = GetTickCount64();
    for (int Round = 0; Round < 1000; ++Round) {
        LARGE_INTEGER Counter;
        ASSERT_TRUE(QueryPerformanceCounter(&Counter));
        const ULONGLONG Ticks = GetTickCount64();
        EXPECT_GE(Counter.QuadPart, Previous.QuadPart);
        EXPECT_GE(Ticks, PreviousTicks);
        Previous = Counter;
        PreviousTicks = Ticks;
    }
    // GetTickCount is the low part of GetTickCount64.
    const DWORD Narrow = GetTickCount();
    const DWORD WideLow = static_cast<DWORD>(GetTickCount64());
    EXPECT_LE(WideLow - Narrow, 1000u);
}

}  // namespace
