// The benchmark's monitor instance: notes when each FrameBufferUpdate
// begins (performance counter) and touches one changed pixel, as a host
// reading the frame would. Allocates nothing per frame.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "interface/INimboApiDisplayMonitorInstance.h"

class BenchMonitorInstance : public INimboApiDisplayMonitorInstance {
public:
    BenchMonitorInstance(UINT32 Width, UINT32 Height) : m_Width(Width), m_Height(Height) {}

    void MonitorStop() override {}
    bool MonitorVisibilitySet(bool bVisible) override {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        m_bVisible = bVisible;
        m_Changed.notify_all();
        return true;
    }
    bool FrameBufferUpdate(FrameBufferInfo, void* pFrameBuffer, UINT32 Pitch, void*, UINT32, RECT* pRectangleUpdateArea,
                           UINT32, PointerInfo*) override {
        LARGE_INTEGER Now;
        QueryPerformanceCounter(&Now);
        uint32_t Pixel;
        std::memcpy(&Pixel,
                    static_cast<const uint8_t*>(pFrameBuffer) + size_t(pRectangleUpdateArea->top) * Pitch +
                        size_t(pRectangleUpdateArea->left) * 4,
                    sizeof(Pixel));
        m_PixelSum.fetch_add(Pixel, std::memory_order_relaxed);
        std::lock_guard<std::mutex> Lock(m_Mutex);
        m_LastUpdateTicks = Now.QuadPart;
        ++m_Updates;
        m_Changed.notify_all();
        return true;
    }
    bool CursorPositionSet(int, int, int) override { return true; }
    bool CursorShapeSet(PointerInfo*) override { return true; }
    bool Heartbeat() override { return true; }
    bool InactivitySet(INT32) override { return false; }
    std::wstring InstanceIdGet() override { return L"{BE4C0000-0000-0000-0000-000000000001}"; }
    std::wstring InstanceNameGet() override { return L"bench"; }
    UINT32 InstanceContextGet() override { return 0; }
    bool GetMonitorDescription(BYTE** ppMonitorDescriptionInfo, UINT32* pCountByteMonitorDescriptionInfo, BYTE**,
                               UINT32*) override {
        const UINT32 Fields[9] = {0, 0, 0, 0, 1, m_Width, m_Height, 0, 60};
        auto* pRecord = static_cast<BYTE*>(LocalAlloc(LPTR, sizeof(Fields)));
        if (pRecord == nullptr)
            return false;
        std::memcpy(pRecord, Fields, sizeof(Fields));
        *ppMonitorDescriptionInfo = pRecord;
        *pCountByteMonitorDescriptionInfo = sizeof(Fields);
        return true;
    }
    bool InstanceQuery(void*) override { return false; }

    bool VisibleAwait() {
        std::unique_lock<std::mutex> Lock(m_Mutex);
        return m_Changed.wait_for(Lock, std::chrono::seconds(30), [&] { return m_bVisible; });
    }
    uint64_t UpdatesGet() {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        return m_Updates;
    }
    // Waits until Count updates began (or Milliseconds passed).
    void UpdatesAwait(uint64_t Count, uint32_t Milliseconds) {
        std::unique_lock<std::mutex> Lock(m_Mutex);
        m_Changed.wait_for(Lock, std::chrono::milliseconds(Milliseconds), [&] { return m_Updates >= Count; });
    }
    // Waits until more than Seen updates began; returns when the last began.
    int64_t UpdateAwait(uint64_t Seen) {
        std::unique_lock<std::mutex> Lock(m_Mutex);
        m_Changed.wait(Lock, [&] { return m_Updates > Seen; });
        return m_LastUpdateTicks;
    }

private:
    const UINT32 m_Width;
    const UINT32 m_Height;
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    bool m_bVisible = false;
    uint64_t m_Updates = 0;
    int64_t m_LastUpdateTicks = 0;
    std::atomic<uint32_t> m_PixelSum{0};
};
