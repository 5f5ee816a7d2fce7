#include "D3DGpu.h"

#include <algorithm>
#include <cstring>

#include "D3D11Texture2D.h"

D3DGpu& D3DGpu::Instance() {
    // Lives as long as the process: its engine thread never ends.
    static D3DGpu* s_pGpu = new D3DGpu();
    return *s_pGpu;
}

uint64_t D3DGpu::CopyQueue(D3D11Texture2D* pDestination, D3D11Texture2D* pSource, const Region& Area) {
    pDestination->AddRef();
    pSource->AddRef();
    std::unique_lock<std::mutex> Lock(m_Mutex);
    if (!m_bStarted) {
        m_bStarted = true;
        m_Engine = std::thread([this] { PrivateEngine(); });
        m_Engine.detach();
    }
    m_Completed.wait(Lock, [&] { return m_FenceQueued - m_FenceCompleted < kRingSize; });
    const uint64_t Fence = ++m_FenceQueued;
    m_Ring[Fence % kRingSize] = Command{pDestination, pSource, Area};
    m_Queued.notify_one();
    return Fence;
}

bool D3DGpu::FenceReached(uint64_t Fence) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_FenceCompleted >= Fence;
}

void D3DGpu::FenceAwait(uint64_t Fence) {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    m_Completed.wait(Lock, [&] { return m_FenceCompleted >= Fence; });
}

void D3DGpu::IdleAwait() {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    m_Completed.wait(Lock, [&] { return m_bPaused || m_FenceCompleted == m_FenceQueued; });
}

void D3DGpu::PausedSet(bool bPaused) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_bPaused = bPaused;
    m_Queued.notify_all();
    m_Completed.notify_all();
}

uint64_t D3DGpu::CopiesCompleted() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_FenceCompleted;
}

void D3DGpu::PrivateEngine() {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    for (;;) {
        m_Queued.wait(Lock, [&] { return !m_bPaused && m_FenceCompleted < m_FenceQueued; });
        const Command Work = m_Ring[(m_FenceCompleted + 1) % kRingSize];
        Lock.unlock();
        PrivateCopyRun(Work);
        // The references go before the fence is reached, so that a texture
        // is free of the GPU once its copy counts as done.
        Work.pSource->Release();
        Work.pDestination->Release();
        Lock.lock();
        ++m_FenceCompleted;
        m_Completed.notify_all();
    }
}

void D3DGpu::PrivateCopyRun(const Command& Work) {
    D3D11Texture2D& Source = *Work.pSource;
    D3D11Texture2D& Destination = *Work.pDestination;
    const UINT BytesPerPixel = 4;
    // Both locks, in address order: a driver may write its texture meanwhile.
    std::mutex* pFirst = std::min(Source.PixelLockGet(), Destination.PixelLockGet());
    std::mutex* pSecond = std::max(Source.PixelLockGet(), Destination.PixelLockGet());
    std::lock_guard<std::mutex> FirstLock(*pFirst);
    std::unique_lock<std::mutex> SecondLock(*pSecond, std::defer_lock);
    if (pSecond != pFirst)
        SecondLock.lock();
    const size_t RowBytes = static_cast<size_t>(Work.Area.Width) * BytesPerPixel;
    for (UINT Row = 0; Row < Work.Area.Height; ++Row) {
        const uint8_t* pFrom = Source.PixelsGet() + static_cast<size_t>(Work.Area.SourceTop + Row) * Source.PitchGet() +
                               static_cast<size_t>(Work.Area.SourceLeft) * BytesPerPixel;
        uint8_t* pTo = Destination.PixelsGet() +
                       static_cast<size_t>(Work.Area.DestinationY + Row) * Destination.PitchGet() +
                       static_cast<size_t>(Work.Area.DestinationX) * BytesPerPixel;
        std::memcpy(pTo, pFrom, RowBytes);
    }
}
