#include "D3D11DeviceCore.h"

#include "D3DWaiterCount.h"

std::atomic<long> D3D11DeviceCore::s_Hazards{0};

void D3D11DeviceCore::Enter() {
    if (m_Lock.try_lock())
        return;
    D3DWaiterCount::Instance().Blocked(D3DWaiterCount::Kind::ContextLock);
    m_Lock.lock();
    D3DWaiterCount::Instance().Unblocked(D3DWaiterCount::Kind::ContextLock);
}

void D3D11DeviceCore::Leave() { m_Lock.unlock(); }

BOOL D3D11DeviceCore::ProtectedSet(BOOL bProtect) { return m_bProtected.exchange(bProtect != FALSE) ? TRUE : FALSE; }

BOOL D3D11DeviceCore::ProtectedGet() const { return m_bProtected.load() ? TRUE : FALSE; }

long D3D11DeviceCore::HazardCount() { return s_Hazards.load(); }

void D3D11DeviceCore::HazardCounted() { s_Hazards.fetch_add(1); }

D3D11DeviceCore::ContextCall::ContextCall(D3D11DeviceCore& Core) : m_Core(Core), m_bLocked(Core.m_bProtected.load()) {
    if (m_bLocked)
        m_Core.Enter();
    if (m_Core.m_CallsInside.fetch_add(1) > 0)
        HazardCounted();
}

D3D11DeviceCore::ContextCall::~ContextCall() {
    m_Core.m_CallsInside.fetch_sub(1);
    if (m_bLocked)
        m_Core.Leave();
}
