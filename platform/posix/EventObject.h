// Event: manual-reset (stays signalled until reset) or auto-reset (one
// satisfied wait consumes the signal).
#pragma once

#include "KernelObject.h"

class EventObject : public KernelObject {
public:
    EventObject(bool bManualReset, bool bInitialState);

    const char* KindName() const override { return "Event"; }

    void Set();
    void Reset();

    bool WaitableIs() const override { return true; }
    bool SignalledIs(int64_t Now) override;
    void WaitSatisfy() override;

private:
    const bool m_bManualReset;
    bool m_bSignalled;  // kernel lock
};
