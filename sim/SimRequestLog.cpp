#include "SimRequestLog.h"

#include <chrono>

SimRequestLog::SimRequestLog(size_t CountRetained) : m_CountRetained(CountRetained == 0 ? 1 : CountRetained) {}

void SimRequestLog::Append(SimRequest Request) {
    {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        ++m_CountByCode[Request.Code];
        ++m_Count;
        if (m_Requests.size() < m_CountRetained) {
            m_Requests.push_back(std::move(Request));
        } else {
            m_Requests[m_Oldest] = std::move(Request);
            m_Oldest = (m_Oldest + 1) % m_CountRetained;
        }
    }
    m_Changed.notify_all();
}

std::vector<SimRequest> SimRequestLog::List() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    std::vector<SimRequest> Requests;
    Requests.reserve(m_Requests.size());
    for (size_t Index = 0; Index < m_Requests.size(); ++Index)
        Requests.push_back(m_Requests[(m_Oldest + Index) % m_Requests.size()]);
    return Requests;
}

std::vector<SimRequest> SimRequestLog::ListOfCode(DWORD Code) const {
    std::vector<SimRequest> Requests;
    for (auto& Request : List())
        if (Request.Code == Code)
            Requests.push_back(std::move(Request));
    return Requests;
}

size_t SimRequestLog::PrivateCountOfCode(DWORD Code) const {
    const auto Entry = m_CountByCode.find(Code);
    return Entry == m_CountByCode.end() ? 0 : Entry->second;
}

size_t SimRequestLog::CountOfCode(DWORD Code) const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return PrivateCountOfCode(Code);
}

size_t SimRequestLog::Count() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Count;
}

bool SimRequestLog::WaitForCountOfCode(DWORD Code, size_t Count, DWORD dwMilliseconds) const {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_Changed.wait_for(Lock, std::chrono::milliseconds(dwMilliseconds),
                              [&] { return PrivateCountOfCode(Code) >= Count; });
}

void SimRequestLog::Clear() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    // The memory too: a run that clears now and then keeps no peak.
    std::vector<SimRequest>().swap(m_Requests);
    m_Oldest = 0;
    m_Count = 0;
    m_CountByCode.clear();
}
