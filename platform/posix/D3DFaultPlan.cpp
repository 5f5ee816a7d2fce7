#include "D3DFaultPlan.h"

#include "platform/seh.h"

namespace {

PLATFORM_FAULTING_FUNCTION void AccessViolationRaise() {
    volatile int* pNowhere = nullptr;
    *pNowhere = 0;
}

}  // namespace

D3DFaultPlan& D3DFaultPlan::Instance() {
    static D3DFaultPlan s_Plan;
    return s_Plan;
}

void D3DFaultPlan::Arm(MachineD3DCall Call, HRESULT hr, unsigned Skip) {
    Slot& Target = m_Slots[static_cast<int>(Call)];
    Target.Result.store(hr);
    Target.Skip.store(static_cast<long>(Skip));
    Target.bArmed.store(true);
}

HRESULT D3DFaultPlan::Enter(MachineD3DCall Call) {
    Slot& Target = m_Slots[static_cast<int>(Call)];
    if (!Target.bArmed.load())
        return S_OK;
    if (Target.Skip.fetch_sub(1) > 0)
        return S_OK;
    // Only one caller may take the failure.
    bool bExpected = true;
    if (!Target.bArmed.compare_exchange_strong(bExpected, false))
        return S_OK;
    const HRESULT hr = Target.Result.load();
    if (hr == MachineD3DAccessViolation)
        AccessViolationRaise();
    return hr;
}

void D3DFaultPlan::Clear() {
    for (auto& Target : m_Slots)
        Target.bArmed.store(false);
}
