#include "AvrtTaskTable.h"

#include "win32_kernel.h"

AvrtTaskTable& AvrtTaskTable::Instance() {
    static AvrtTaskTable s_Table;
    return s_Table;
}

HANDLE AvrtTaskTable::Join(DWORD* pTaskIndex) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    if (*pTaskIndex == 0)
        *pTaskIndex = m_NextTaskIndex++;
    const uintptr_t Value = m_NextValue;
    m_NextValue += 8;  // values never repeat
    m_Joins[Value] = GetCurrentThreadId();
    return reinterpret_cast<HANDLE>(Value);
}

bool AvrtTaskTable::Revert(HANDLE hJoin) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Joins.erase(reinterpret_cast<uintptr_t>(hJoin)) == 1;
}

long AvrtTaskTable::LiveCount() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return static_cast<long>(m_Joins.size());
}

void AvrtTaskTable::RefusedSet(bool bRefused) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_bRefused = bRefused;
}

bool AvrtTaskTable::RefusedIs() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_bRefused;
}
