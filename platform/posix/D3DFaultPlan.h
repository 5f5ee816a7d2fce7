// Failures armed by tests for the DXGI / Direct3D calls of the simulated
// platform: each kind of call can be made to fail once, after a number of
// calls that still succeed. Checking costs one atomic load when nothing is
// armed.
#pragma once

#include <atomic>

#include "machine_d3d.h"

class D3DFaultPlan {
public:
    static D3DFaultPlan& Instance();

    void Arm(MachineD3DCall Call, HRESULT hr, unsigned Skip);
    // S_OK, or the armed failure of this call.
    HRESULT Enter(MachineD3DCall Call);
    void Clear();

private:
    struct Slot {
        std::atomic<bool> bArmed{false};
        std::atomic<long> Skip{0};
        std::atomic<HRESULT> Result{S_OK};
    };
    static constexpr int kCalls = static_cast<int>(MachineD3DCall::Map) + 1;
    Slot m_Slots[kCalls];
};
