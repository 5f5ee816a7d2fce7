// A local time fixed by a test (MachineLocalTimeSet): while set, GetLocalTime
// reports exactly it, so time stamps in logs are predictable.
#pragma once

#include <mutex>
#include <optional>

#include "win32_base.h"

class LocalTimeOverride {
public:
    static LocalTimeOverride& Instance();

    void Set(const SYSTEMTIME* pLocalTime);  // null clears
    std::optional<SYSTEMTIME> Get();

private:
    LocalTimeOverride() = default;

    std::mutex m_Mutex;
    std::optional<SYSTEMTIME> m_LocalTime;
};
