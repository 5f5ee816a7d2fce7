#include "LocalTimeOverride.h"

LocalTimeOverride& LocalTimeOverride::Instance() {
    static LocalTimeOverride* s_pOverride = new LocalTimeOverride;  // used until process exit
    return *s_pOverride;
}

void LocalTimeOverride::Set(const SYSTEMTIME* pLocalTime) {
    std::lock_guard Lock(m_Mutex);
    if (pLocalTime == nullptr)
        m_LocalTime.reset();
    else
        m_LocalTime = *pLocalTime;
}

std::optional<SYSTEMTIME> LocalTimeOverride::Get() {
    std::lock_guard Lock(m_Mutex);
    return m_LocalTime;
}
