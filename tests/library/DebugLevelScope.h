#pragma once

#include "support/ALDebugLog.h"

// Sets the library's log level for the lifetime of the scope and restores
// it afterwards. The level is otherwise fixed at load; tests change it only
// while no library thread runs.
class DebugLevelScope {
public:
    explicit DebugLevelScope(DWORD Level) : m_Previous(DebugLevelAL) { DebugLevelAL = Level; }
    ~DebugLevelScope() { DebugLevelAL = m_Previous; }
    DebugLevelScope(const DebugLevelScope&) = delete;
    DebugLevelScope& operator=(const DebugLevelScope&) = delete;

private:
    DWORD m_Previous;
};
