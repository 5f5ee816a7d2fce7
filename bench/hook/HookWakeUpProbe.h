// The hook benchmark's paired reference: one thread wakes another through an
// event (the kind the frame-buffer thread waits on) and notes when it woke.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/win32.h"

class HookWakeUpProbe {
public:
    HookWakeUpProbe();
    ~HookWakeUpProbe();
    HookWakeUpProbe(const HookWakeUpProbe&) = delete;
    HookWakeUpProbe& operator=(const HookWakeUpProbe&) = delete;

    // Seconds from the signal to the other thread running.
    double Sample();

private:
    static DWORD WINAPI PrivateThreadProcedure(LPVOID pParameter);

    HANDLE m_hGo;
    HANDLE m_hWoken;
    std::atomic<bool> m_bStop{false};
    std::atomic<int64_t> m_WokenNanoseconds{0};
    HANDLE m_hThread;
};
