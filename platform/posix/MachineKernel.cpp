// The machine API of the kernel part.
#include "HandleTable.h"
#include "LocalTimeOverride.h"
#include "MachineClock.h"
#include "ThreadObject.h"
#include "WaitEngine.h"
#include "platform/machine.h"

long MachineHandlesLive() { return HandleTable::Instance().LiveCount(); }

long MachineHandlesLiveOfKind(const char* pKind) {
    return pKind == nullptr ? 0 : HandleTable::Instance().LiveCountOfKind(pKind);
}

long MachineThreadsLive() { return ThreadObject::LiveCount(); }

void MachineClockScaleSet(double Factor) {
    if (MachineClock::Instance().ScaleSet(Factor))
        WaitEngine::Instance().ClockChanged();
}

double MachineClockScaleGet() { return MachineClock::Instance().ScaleGet(); }

void MachineLocalTimeSet(const SYSTEMTIME* pLocalTime) { LocalTimeOverride::Instance().Set(pLocalTime); }

void MachineLocalTimeClear() { LocalTimeOverride::Instance().Set(nullptr); }

long MachineWaitersBlocked() { return WaitEngine::Instance().BlockedCount(); }

bool MachineWaitersBlockedAwait(long Count, DWORD RealMilliseconds) {
    return WaitEngine::Instance().BlockedAwait(Count, RealMilliseconds);
}

void MachineKernelReset() {
    HandleTable::Instance().Clear();
    MachineClockScaleSet(1.0);
    MachineLocalTimeClear();
}
