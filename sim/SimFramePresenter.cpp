#include "SimFramePresenter.h"

#include <chrono>

SimFramePresenter::SimFramePresenter(std::shared_ptr<SimIddCxDriver> pDriver, uint32_t MonitorIndex,
                                     double FramesPerSecond)
    : SimFramePresenter([pDriver = std::move(pDriver), MonitorIndex] { return pDriver->FramePresent(MonitorIndex); },
                        FramesPerSecond) {}

SimFramePresenter::SimFramePresenter(PresentStep Present, double FramesPerSecond)
    : m_Present(std::move(Present)),
      m_FramesPerSecond(FramesPerSecond > 0 ? FramesPerSecond : 0),
      m_hStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

SimFramePresenter::~SimFramePresenter() {
    Stop();
    CloseHandle(m_hStop);
}

bool SimFramePresenter::Start() {
    if (m_Thread.joinable())
        return false;
    ResetEvent(m_hStop);
    m_Thread = std::thread([this] { PrivateRun(); });
    return true;
}

void SimFramePresenter::Stop() {
    if (!m_Thread.joinable())
        return;
    SetEvent(m_hStop);
    m_Thread.join();
}

bool SimFramePresenter::FramesPresentedAwait(uint64_t Count, uint32_t RealMilliseconds) {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_Presented.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds),
                                [&] { return m_FramesPresented.load() >= Count; });
}

bool SimFramePresenter::PrivateDueAwait(int64_t DueTicks) {
    LARGE_INTEGER Frequency;
    QueryPerformanceFrequency(&Frequency);
    for (;;) {
        LARGE_INTEGER Now;
        QueryPerformanceCounter(&Now);
        const int64_t Remaining = DueTicks - Now.QuadPart;
        // Whole milliseconds, rounded up, so the frame is never early.
        const DWORD Milliseconds =
            Remaining <= 0 ? 0 : static_cast<DWORD>((Remaining * 1000 + Frequency.QuadPart - 1) / Frequency.QuadPart);
        const DWORD dwWait = WaitForSingleObject(m_hStop, Milliseconds);
        if (dwWait != WAIT_TIMEOUT)
            return false;
        if (Milliseconds == 0)
            return true;
    }
}

void SimFramePresenter::PrivateRun() {
    LARGE_INTEGER Frequency;
    LARGE_INTEGER Start;
    QueryPerformanceFrequency(&Frequency);
    QueryPerformanceCounter(&Start);
    for (uint64_t Frame = 0;; ++Frame) {
        const int64_t Due = m_FramesPerSecond > 0
                                ? Start.QuadPart + static_cast<int64_t>(static_cast<double>(Frame) *
                                                                        static_cast<double>(Frequency.QuadPart) /
                                                                        m_FramesPerSecond)
                                : 0;
        if (!PrivateDueAwait(Due))
            return;
        if (!m_Present()) {
            // No frame taken (no swap chain, no monitor): do not hog a core meanwhile.
            if (WaitForSingleObject(m_hStop, 1) != WAIT_TIMEOUT)
                return;
            continue;
        }
        std::lock_guard<std::mutex> Lock(m_Mutex);
        m_FramesPresented.fetch_add(1);
        m_Presented.notify_all();
    }
}
