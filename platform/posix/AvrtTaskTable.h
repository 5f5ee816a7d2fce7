// The multimedia class scheduler's joins on the simulated machine: which
// thread joined which task, by the handle the join returned.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>

#include "win32_base.h"

class AvrtTaskTable {
public:
    static AvrtTaskTable& Instance();

    // A new join handle; *pTaskIndex 0 gets a new task index.
    HANDLE Join(DWORD* pTaskIndex);
    bool Revert(HANDLE hJoin);
    long LiveCount();
    void RefusedSet(bool bRefused);
    bool RefusedIs();

private:
    AvrtTaskTable() = default;

    std::mutex m_Mutex;
    std::map<uintptr_t, DWORD> m_Joins;  // handle value -> thread id
    uintptr_t m_NextValue = 0xA7000000u;
    DWORD m_NextTaskIndex = 1;
    bool m_bRefused = false;
};
