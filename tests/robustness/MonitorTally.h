// What one monitor instance of the robustness tests was told, counted rather
// than recorded, so that a thousand plug cycles cost no memory: calls by
// kind, the last update rectangle, and whether the library deleted the
// instance. Outlives the instance; a test waits on it for the next call.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "interface/NimboMonitorRecords.h"
#include "platform/win32.h"

class MonitorTally {
public:
    enum class Kind { FrameBufferUpdate, Visibility, MonitorStop, Heartbeat, Inactivity, Cursor, Count };

    void CallAdd(Kind Type);
    void FrameAdd(const RECT& Rectangle);
    void DeletedSet();

    uint64_t CountOf(Kind Type) const;
    bool IsDeleted() const;
    RECT LastRectangleGet() const;
    // Waits until at least Count calls of the kind were made; false after
    // the real-time safety limit (a hang, not a timing).
    bool WaitForCount(Kind Type, uint64_t Count, DWORD RealMilliseconds = SafetyMilliseconds) const;
    bool WaitForDeleted(DWORD RealMilliseconds = SafetyMilliseconds) const;
    // As WaitForCount, but also returns (false) once the instance is deleted.
    bool WaitForCountUnlessDeleted(Kind Type, uint64_t Count, DWORD RealMilliseconds = SafetyMilliseconds) const;

    static constexpr DWORD SafetyMilliseconds = 20000;

private:
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Changed;
    uint64_t m_Counts[static_cast<int>(Kind::Count)] = {};
    RECT m_LastRectangle{};
    bool m_bDeleted = false;
};
