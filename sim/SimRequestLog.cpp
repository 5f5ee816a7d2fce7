#include "SimRequestLog.h"

#include <algorithm>
#include <chrono>

void SimRequestLog::Append(SimRequest Request) {
    {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        m_Requests.push_back(std::move(Request));
    }
    m_Changed.notify_all();
}

std::vector<SimRequest> SimRequestLog::List() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Requests;
}

std::vector<SimRequest> SimRequestLog::ListOfCode(DWORD Code) const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    std::vector<SimRequest> Requests;
    for (const auto& Request : m_Requests)
        if (Request.Code == Code)
            Requests.push_back(Request);
    return Requests;
}

size_t SimRequestLog::CountOfCode(DWORD Code) const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return static_cast<size_t>(std::count_if(m_Requests.begin(), m_Requests.end(),
                                             [Code](const SimRequest& Request) { return Request.Code == Code; }));
}

size_t SimRequestLog::Count() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Requests.size();
}

bool SimRequestLog::WaitForCountOfCode(DWORD Code, size_t Count, DWORD dwMilliseconds) const {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_Changed.wait_for(Lock, std::chrono::milliseconds(dwMilliseconds), [&] {
        return static_cast<size_t>(std::count_if(m_Requests.begin(), m_Requests.end(), [Code](const SimRequest& R) {
                   return R.Code == Code;
               })) >= Count;
    });
}

void SimRequestLog::Clear() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    // The memory too: a long run that clears now and then keeps no peak.
    std::vector<SimRequest>().swap(m_Requests);
}
