#include "SimFaultPlan.h"

#include <chrono>
#include <thread>

void SimFaultPlan::FailNext(DWORD Code, DWORD dwError, unsigned Count) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_Failures.push_back(Fault{Code, Count, dwError, 0, nullptr});
}

void SimFaultPlan::DelayNext(DWORD Code, DWORD dwMilliseconds, unsigned Count) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_Delays.push_back(Fault{Code, Count, ERROR_SUCCESS, dwMilliseconds, nullptr});
}

std::shared_ptr<SimRequestGate> SimFaultPlan::HoldNext(DWORD Code) {
    auto pGate = std::make_shared<SimRequestGate>();
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_Holds.push_back(Fault{Code, 1, ERROR_SUCCESS, 0, pGate});
    return pGate;
}

void SimFaultPlan::Clear() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_Holds.clear();
    m_Delays.clear();
    m_Failures.clear();
}

bool SimFaultPlan::PrivateTake(std::vector<Fault>& Faults, DWORD Code, Fault* pTaken) {
    for (auto Entry = Faults.begin(); Entry != Faults.end(); ++Entry) {
        if (Entry->Code != AnyCode && Entry->Code != Code)
            continue;
        *pTaken = *Entry;
        if (--Entry->Count == 0)
            Faults.erase(Entry);
        return true;
    }
    return false;
}

DWORD SimFaultPlan::Enter(DWORD Code) {
    Fault Hold{}, Delay{}, Failure{};
    bool bHold, bDelay, bFailure;
    {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        bHold = PrivateTake(m_Holds, Code, &Hold);
        bDelay = PrivateTake(m_Delays, Code, &Delay);
        bFailure = PrivateTake(m_Failures, Code, &Failure);
    }
    if (bHold)
        Hold.pGate->Hold();
    if (bDelay)
        std::this_thread::sleep_for(std::chrono::milliseconds(Delay.dwMilliseconds));
    return bFailure ? Failure.dwError : ERROR_SUCCESS;
}
