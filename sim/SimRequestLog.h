// What a simulated driver received: one entry per request, in the order the
// requests completed, with the buffers as the driver saw them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "SimRequest.h"
#include "platform/win32.h"

class SimRequestLog {
public:
    void Append(SimRequest Request);
    std::vector<SimRequest> List() const;
    std::vector<SimRequest> ListOfCode(DWORD Code) const;
    size_t CountOfCode(DWORD Code) const;
    size_t Count() const;
    // Waits until at least Count requests of Code completed; false after
    // dwMilliseconds (a safety limit, not a timing).
    bool WaitForCountOfCode(DWORD Code, size_t Count, DWORD dwMilliseconds) const;
    void Clear();

private:
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Changed;
    std::vector<SimRequest> m_Requests;
};
