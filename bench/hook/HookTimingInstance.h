// The hook benchmark's monitor instance: notes when each FrameBufferUpdate
// starts and counts them, then wakes the benchmark. Allocates nothing per
// update.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "interface/INimboApiDisplayMonitorInstance.h"
#include "platform/win32.h"

class HookTimingInstance : public INimboApiDisplayMonitorInstance {
public:
    HookTimingInstance(UINT32 Width, UINT32 Height)
        : m_Width(Width), m_Height(Height), m_hUpdated(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~HookTimingInstance() override { CloseHandle(m_hUpdated); }

    static int64_t NowNanoseconds() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    void MonitorStop() override {}
    bool MonitorVisibilitySet(bool) override { return true; }
    bool FrameBufferUpdate(FrameBufferInfo, void*, UINT32, void*, UINT32, RECT*, UINT32, PointerInfo*) override {
        m_StartNanoseconds.store(NowNanoseconds(), std::memory_order_relaxed);
        {
            std::lock_guard<std::mutex> Lock(m_Mutex);
            ++m_Updates;
        }
        m_Changed.notify_all();
        SetEvent(m_hUpdated);
        return true;
    }
    bool CursorPositionSet(int, int, int) override { return true; }
    bool CursorShapeSet(PointerInfo*) override { return true; }
    bool Heartbeat() override { return true; }
    bool InactivitySet(INT32) override { return true; }
    std::wstring InstanceIdGet() override { return L"{00000000-0000-0000-0000-000000000001}"; }
    std::wstring InstanceNameGet() override { return std::wstring(); }
    UINT32 InstanceContextGet() override { return 0; }
    bool GetMonitorDescription(BYTE** ppDescription, UINT32* pCountByte, BYTE**, UINT32*) override {
        const UINT32 Fields[9] = {0, 0, 0, 0, 1, m_Width, m_Height, 0, 60};
        *ppDescription = static_cast<BYTE*>(LocalAlloc(LPTR, sizeof(Fields)));
        if (*ppDescription == nullptr)
            return false;
        std::memcpy(*ppDescription, Fields, sizeof(Fields));
        *pCountByte = sizeof(Fields);
        return true;
    }
    bool InstanceQuery(void*) override { return false; }

    // Auto-reset: set at the start of each update.
    HANDLE UpdatedGet() const { return m_hUpdated; }
    // When the last update started (NowNanoseconds).
    int64_t StartGet() const { return m_StartNanoseconds.load(std::memory_order_relaxed); }
    uint64_t UpdatesGet() {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        return m_Updates;
    }
    // Waits until more than Seen updates began (or Milliseconds passed).
    void UpdatesBeyondAwait(uint64_t Seen, uint32_t Milliseconds) {
        std::unique_lock<std::mutex> Lock(m_Mutex);
        m_Changed.wait_for(Lock, std::chrono::milliseconds(Milliseconds), [&] { return m_Updates > Seen; });
    }

private:
    const UINT32 m_Width;
    const UINT32 m_Height;
    HANDLE m_hUpdated;
    std::atomic<int64_t> m_StartNanoseconds{0};
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    uint64_t m_Updates = 0;
};
