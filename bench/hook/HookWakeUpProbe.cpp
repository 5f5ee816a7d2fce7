#include "HookWakeUpProbe.h"

#include "BenchHeapCount.h"
#include "HookTimingInstance.h"

HookWakeUpProbe::HookWakeUpProbe()
    : m_hGo(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_hWoken(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_hThread(CreateThread(nullptr, 0, &HookWakeUpProbe::PrivateThreadProcedure, this, 0, nullptr)) {}

HookWakeUpProbe::~HookWakeUpProbe() {
    m_bStop = true;
    SetEvent(m_hGo);
    WaitForSingleObject(m_hThread, INFINITE);
    for (HANDLE hHandle : {m_hThread, m_hGo, m_hWoken})
        CloseHandle(hHandle);
}

double HookWakeUpProbe::Sample() {
    const int64_t Signalled = HookTimingInstance::NowNanoseconds();
    SetEvent(m_hGo);
    WaitForSingleObject(m_hWoken, INFINITE);
    return static_cast<double>(m_WokenNanoseconds.load(std::memory_order_relaxed) - Signalled) / 1e9;
}

DWORD WINAPI HookWakeUpProbe::PrivateThreadProcedure(LPVOID pParameter) {
    BenchHeapCount::ThreadIsBench();
    auto* pProbe = static_cast<HookWakeUpProbe*>(pParameter);
    for (;;) {
        WaitForSingleObject(pProbe->m_hGo, INFINITE);
        pProbe->m_WokenNanoseconds.store(HookTimingInstance::NowNanoseconds(), std::memory_order_relaxed);
        if (pProbe->m_bStop)
            return 0;
        SetEvent(pProbe->m_hWoken);
    }
}
