// Faults a test (or the demo, or a benchmark) plans for the next requests of
// a kind: fail with a chosen Win32 error, take a given time, or stay inside
// the driver until released. A kind is an I/O control code; AnyCode matches
// every request.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "SimRequestGate.h"
#include "platform/win32.h"

class SimFaultPlan {
public:
    static constexpr DWORD AnyCode = 0;

    // The next Count requests of Code fail with dwError, changing nothing.
    void FailNext(DWORD Code, DWORD dwError, unsigned Count = 1);
    // The next Count requests of Code take dwMilliseconds longer.
    void DelayNext(DWORD Code, DWORD dwMilliseconds, unsigned Count = 1);
    // The next request of Code waits inside the driver until the gate opens.
    std::shared_ptr<SimRequestGate> HoldNext(DWORD Code);
    void Clear();

    // Called by the driver when a request arrives, before it takes its lock:
    // holds or delays the request as planned and returns the error to fail
    // it with (ERROR_SUCCESS: handle it).
    DWORD Enter(DWORD Code);

private:
    struct Fault {
        DWORD Code;
        unsigned Count;
        DWORD dwError;
        DWORD dwMilliseconds;
        std::shared_ptr<SimRequestGate> pGate;
    };
    bool PrivateTake(std::vector<Fault>& Faults, DWORD Code, Fault* pTaken);

    std::mutex m_Mutex;
    std::vector<Fault> m_Holds;
    std::vector<Fault> m_Delays;
    std::vector<Fault> m_Failures;
};
