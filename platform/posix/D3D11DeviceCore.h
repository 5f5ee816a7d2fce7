// What a simulated device, its immediate context and its resources share:
// the adapter, and the device lock behind multithread protection. Each of
// them holds the core, so it lives as long as any of them.
#pragma once

#include <atomic>
#include <mutex>

#include "D3D11Api.h"

class D3D11DeviceCore {
public:
    explicit D3D11DeviceCore(const LUID& AdapterLuid) : m_AdapterLuid(AdapterLuid) {}

    const LUID& AdapterLuidGet() const { return m_AdapterLuid; }

    // ID3D11Multithread: the device lock, and whether context calls take it.
    void Enter();
    void Leave();
    BOOL ProtectedSet(BOOL bProtect);
    BOOL ProtectedGet() const;

    // Brackets one call of the immediate context: takes the device lock when
    // protected, and counts a hazard when another thread is inside the
    // context at the same time.
    class ContextCall {
    public:
        explicit ContextCall(D3D11DeviceCore& Core);
        ~ContextCall();
        ContextCall(const ContextCall&) = delete;
        ContextCall& operator=(const ContextCall&) = delete;

    private:
        D3D11DeviceCore& m_Core;
        bool m_bLocked;
    };

    static long HazardCount();
    static void HazardCounted();

private:
    const LUID m_AdapterLuid;
    std::recursive_mutex m_Lock;
    std::atomic<bool> m_bProtected{false};
    std::atomic<int> m_CallsInside{0};
    static std::atomic<long> s_Hazards;
};
