// Wall-clock time from the system (local time unless a test fixed it) and
// tick counts and the performance counter from the machine clock, so that
// they agree with timeouts and timer due times when tests speed the clock up.
#include <ctime>

#include "LocalTimeOverride.h"
#include "MachineClock.h"
#include "platform/win32.h"

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

void SystemTimeFromTm(const std::tm& Broken, long Nanoseconds, LPSYSTEMTIME lpSystemTime) {
    lpSystemTime->wYear = static_cast<WORD>(Broken.tm_year + 1900);
    lpSystemTime->wMonth = static_cast<WORD>(Broken.tm_mon + 1);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(Broken.tm_wday);
    lpSystemTime->wDay = static_cast<WORD>(Broken.tm_mday);
    lpSystemTime->wHour = static_cast<WORD>(Broken.tm_hour);
    lpSystemTime->wMinute = static_cast<WORD>(Broken.tm_min);
    lpSystemTime->wSecond = static_cast<WORD>(Broken.tm_sec);
    lpSystemTime->wMilliseconds = static_cast<WORD>(Nanoseconds / 1000000);
}

}  // namespace

void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    timespec Now;
    clock_gettime(CLOCK_REALTIME, &Now);
    const uint64_t Ticks = static_cast<uint64_t>(Now.tv_sec + kSecondsFrom1601To1970) * 10000000ULL +
                           static_cast<uint64_t>(Now.tv_nsec / 100);
    lpSystemTimeAsFileTime->dwLowDateTime = static_cast<DWORD>(Ticks);
    lpSystemTimeAsFileTime->dwHighDateTime = static_cast<DWORD>(Ticks >> 32);
}

void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    timespec Now;
    clock_gettime(CLOCK_REALTIME, &Now);
    std::tm Broken{};
    gmtime_r(&Now.tv_sec, &Broken);
    SystemTimeFromTm(Broken, Now.tv_nsec, lpSystemTime);
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (const std::optional<SYSTEMTIME> Fixed = LocalTimeOverride::Instance().Get()) {
        *lpSystemTime = *Fixed;
        return;
    }
    timespec Now;
    clock_gettime(CLOCK_REALTIME, &Now);
    std::tm Broken{};
    localtime_r(&Now.tv_sec, &Broken);
    SystemTimeFromTm(Broken, Now.tv_nsec, lpSystemTime);
}

ULONGLONG WINAPI GetTickCount64(void) {
    return static_cast<ULONGLONG>(MachineClock::Instance().Now() / MachineClock::kTicksPerMillisecond);
}

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(GetTickCount64()); }

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    lpPerformanceCount->QuadPart = MachineClock::Instance().Now();
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    lpFrequency->QuadPart = MachineClock::kTicksPerSecond;
    return TRUE;
}
