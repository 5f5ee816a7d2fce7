// The simulated GPU: one engine thread that runs the copies queued by every
// immediate context, in queue order. Each queued copy holds a reference to
// both textures until it has run. A fence number counts the copies; a
// texture remembers the fence of the last copy into it, and Map waits for it.
//
// The queue is a fixed ring: queueing never allocates (it waits while the
// ring is full). The engine thread starts with the first copy and lives as
// long as the process.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "D3D11Api.h"

class D3D11Texture2D;

class D3DGpu {
public:
    struct Region {
        UINT SourceLeft, SourceTop, Width, Height;  // in the source
        UINT DestinationX, DestinationY;
    };

    static D3DGpu& Instance();

    // Queues the copy; takes a reference to both textures. Returns its fence.
    uint64_t CopyQueue(D3D11Texture2D* pDestination, D3D11Texture2D* pSource, const Region& Area);
    bool FenceReached(uint64_t Fence);
    // Blocks until the copy with that fence has run.
    void FenceAwait(uint64_t Fence);
    // Blocks until every queued copy has run; returns at once while paused.
    void IdleAwait();
    void PausedSet(bool bPaused);
    uint64_t CopiesCompleted();

private:
    struct Command {
        D3D11Texture2D* pDestination;
        D3D11Texture2D* pSource;
        Region Area;
    };
    static constexpr size_t kRingSize = 64;

    D3DGpu() = default;
    void PrivateEngine();
    static void PrivateCopyRun(const Command& Work);

    std::mutex m_Mutex;
    std::condition_variable m_Queued;     // engine: work or resume
    std::condition_variable m_Completed;  // waiters: a fence reached, ring space
    Command m_Ring[kRingSize] = {};
    uint64_t m_FenceQueued = 0;     // fence of the last queued copy
    uint64_t m_FenceCompleted = 0;  // fence of the last completed copy
    bool m_bPaused = false;
    bool m_bStarted = false;
    std::thread m_Engine;
};
