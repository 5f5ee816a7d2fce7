// The graphics part of the machine API (platform/posix/machine_d3d.h).
#include "AvrtTaskTable.h"
#include "D3D11DeviceCore.h"
#include "D3DAdapterList.h"
#include "D3DFaultPlan.h"
#include "D3DGpu.h"
#include "D3DObjectCount.h"
#include "D3DWaiterCount.h"
#include "machine_d3d.h"

void MachineD3DAdaptersSet(const std::vector<MachineD3DAdapter>& Adapters) { D3DAdapterList::Instance().Set(Adapters); }

std::vector<MachineD3DAdapter> MachineD3DAdaptersGet() { return D3DAdapterList::Instance().Get(); }

long MachineD3DObjectsLive() {
    D3DGpu::Instance().IdleAwait();
    return D3DObjectCount::Live();
}

long MachineD3DObjectsLiveOfKind(const char* pKind) {
    D3DGpu::Instance().IdleAwait();
    return D3DObjectCount::LiveOfKindName(pKind);
}

void MachineD3DGpuPausedSet(bool bPaused) { D3DGpu::Instance().PausedSet(bPaused); }

unsigned long long MachineD3DGpuCopiesCompleted() { return D3DGpu::Instance().CopiesCompleted(); }

long MachineD3DMapWaitersBlocked() { return D3DWaiterCount::Instance().Count(D3DWaiterCount::Kind::Map); }

long MachineD3DContextLockWaitersBlocked() {
    return D3DWaiterCount::Instance().Count(D3DWaiterCount::Kind::ContextLock);
}

bool MachineD3DMapWaitersBlockedAwait(long Count, DWORD RealMilliseconds) {
    return D3DWaiterCount::Instance().CountAwait(D3DWaiterCount::Kind::Map, Count, RealMilliseconds);
}

bool MachineD3DContextLockWaitersBlockedAwait(long Count, DWORD RealMilliseconds) {
    return D3DWaiterCount::Instance().CountAwait(D3DWaiterCount::Kind::ContextLock, Count, RealMilliseconds);
}

long MachineD3DContextHazardCount() { return D3D11DeviceCore::HazardCount(); }

void MachineD3DFailNext(MachineD3DCall Call, HRESULT hr, unsigned Skip) { D3DFaultPlan::Instance().Arm(Call, hr, Skip); }

long MachineAvrtJoinsLive() { return AvrtTaskTable::Instance().LiveCount(); }

void MachineAvrtRefusedSet(bool bRefused) { AvrtTaskTable::Instance().RefusedSet(bRefused); }

void MachineD3DReset() {
    D3DAdapterList::Instance().Reset();
    D3DFaultPlan::Instance().Clear();
    D3DGpu::Instance().PausedSet(false);
    AvrtTaskTable::Instance().RefusedSet(false);
}
