// Waitable timer: manual-reset (stays signalled once due) or synchronization
// (one satisfied wait consumes the signal), one-shot or periodic. Arming
// replaces any earlier due time and clears the signalled state; cancelling
// stops the timer and leaves the state alone. The timer fires lazily: its
// state is brought up to date whenever a wait looks at it, and waiters wake
// at its due time because it reports that time (DueTimeGet).
#pragma once

#include "KernelObject.h"

class WaitableTimerObject : public KernelObject {
public:
    explicit WaitableTimerObject(bool bManualReset);

    const char* KindName() const override { return "WaitableTimer"; }

    // DueTime in machine time; Period in machine ticks (0: one-shot).
    void Arm(int64_t DueTime, int64_t Period);
    void Cancel();

    bool WaitableIs() const override { return true; }
    bool SignalledIs(int64_t Now) override;
    void WaitSatisfy() override;
    std::optional<int64_t> DueTimeGet() const override;

private:
    void PrivateRefresh(int64_t Now);

    const bool m_bManualReset;
    // kernel lock
    bool m_bSignalled = false;
    bool m_bArmed = false;
    int64_t m_DueTime = 0;
    int64_t m_Period = 0;
};
