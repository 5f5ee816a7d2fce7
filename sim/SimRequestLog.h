// What a simulated driver received: one entry per request, in the order the
// requests completed, with the buffers as the driver saw them.
//
// A long run (benchmarks, fuzzing, the demo) issues requests without end, so
// only the most recent requests are kept (a ring); the counts cover every
// request since construction or the last Clear.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "SimRequest.h"
#include "platform/win32.h"

class SimRequestLog {
public:
    static constexpr size_t kRetainedDefault = 4096;

    explicit SimRequestLog(size_t CountRetained = kRetainedDefault);

    void Append(SimRequest Request);
    // The retained requests, oldest first.
    std::vector<SimRequest> List() const;
    std::vector<SimRequest> ListOfCode(DWORD Code) const;
    // Every request, retained or not.
    size_t CountOfCode(DWORD Code) const;
    size_t Count() const;
    // Waits until at least Count requests of Code completed; false after
    // dwMilliseconds (a safety limit, not a timing).
    bool WaitForCountOfCode(DWORD Code, size_t Count, DWORD dwMilliseconds) const;
    void Clear();

private:
    size_t PrivateCountOfCode(DWORD Code) const;

    const size_t m_CountRetained;
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Changed;
    std::vector<SimRequest> m_Requests;  // a ring once full
    size_t m_Oldest = 0;                 // position of the oldest once full
    size_t m_Count = 0;
    std::map<DWORD, size_t> m_CountByCode;
};
