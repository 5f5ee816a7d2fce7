// What a recording monitor instance saw: every call the library made on it
// and the picture composed from the frames. Outlives the instance (the
// frame-buffer thread deletes the instance), so a test reads it afterwards.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include "interface/NimboMonitorRecords.h"

// Apart from the hook path's recording instance and its records.
namespace iddcx {

struct MonitorCall {
    enum class Kind { Stop, Visibility, Update, Heartbeat, Inactivity, Destroyed };
    Kind What;
    bool bVisible = false;
    INT32 Inactive = 0;
    RECT Rectangle{};
    FrameBufferInfo Info{};
    UINT32 Pitch = 0;
    UINT32 Flags = 0;
    const void* pFrameBuffer = nullptr;
    bool bAuxiliaryNull = false;
    bool bPointerNull = false;
    ULONGLONG MachineMilliseconds = 0;  // GetTickCount64 when the call began
    long D3DObjectsLive = -1;           // at MonitorStop
    size_t Sequence = 0;                // updates: how many had begun before this one
};

class MonitorRecord {
public:
    MonitorRecord(UINT32 Width, UINT32 Height) : m_Width(Width), m_Height(Height), m_Picture(size_t(Width) * Height, 0) {}

    void Append(const MonitorCall& Call) {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        m_Calls.push_back(Call);
        m_Changed.notify_all();
    }
    std::vector<MonitorCall> Calls() const {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        return m_Calls;
    }
    std::vector<MonitorCall> CallsOf(MonitorCall::Kind What) const {
        std::vector<MonitorCall> Result;
        for (const auto& Call : Calls())
            if (Call.What == What)
                Result.push_back(Call);
        return Result;
    }
    size_t CountOf(MonitorCall::Kind What) const { return CallsOf(What).size(); }
    // Waits (a safety limit, not a timing) until Predicate holds for the calls.
    bool Await(const std::function<bool(const std::vector<MonitorCall>&)>& Predicate, DWORD RealMilliseconds = 60000) {
        std::unique_lock<std::mutex> Lock(m_Mutex);
        return m_Changed.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds), [&] { return Predicate(m_Calls); });
    }
    bool AwaitCount(MonitorCall::Kind What, size_t Count, DWORD RealMilliseconds = 60000) {
        return Await(
            [&](const std::vector<MonitorCall>& Calls) {
                size_t Found = 0;
                for (const auto& Call : Calls)
                    Found += Call.What == What ? 1 : 0;
                return Found >= Count;
            },
            RealMilliseconds);
    }
    // Updates begun so far (the one in progress included).
    size_t UpdatesStarted() const {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        return m_UpdatesStarted;
    }
    // Waits until the composed picture equals Expected (row by row, Width
    // pixels each); false after RealMilliseconds, when an area never arrived.
    bool PictureAwait(const std::vector<uint32_t>& Expected, DWORD RealMilliseconds = 60000) {
        std::unique_lock<std::mutex> Lock(m_Mutex);
        return m_Changed.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds),
                                  [&] { return m_Picture == Expected; });
    }
    uint32_t PictureAt(UINT32 X, UINT32 Y) const {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        return m_Picture[size_t(Y) * m_Width + X];
    }

    // Called by the instance; returns the update's sequence number.
    size_t UpdateBegin() {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        return m_UpdatesStarted++;
    }
    void Compose(const void* pFrameBuffer, UINT32 Pitch, const RECT& Area) {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        const auto* pBytes = static_cast<const uint8_t*>(pFrameBuffer);
        for (LONG Y = std::max<LONG>(Area.top, 0); Y < std::min<LONG>(Area.bottom, LONG(m_Height)); ++Y)
            for (LONG X = std::max<LONG>(Area.left, 0); X < std::min<LONG>(Area.right, LONG(m_Width)); ++X)
                std::memcpy(&m_Picture[size_t(Y) * m_Width + X], pBytes + size_t(Y) * Pitch + size_t(X) * 4, 4);
        m_Changed.notify_all();
    }

    // Behaviour of FrameBufferUpdate: runs first on every call; false makes
    // the call return false.
    std::function<bool()> OnUpdate;
    UINT32 DescriptionWidth = 0;
    UINT32 DescriptionHeight = 0;

private:
    const UINT32 m_Width;
    const UINT32 m_Height;
    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::vector<MonitorCall> m_Calls;
    size_t m_UpdatesStarted = 0;
    std::vector<uint32_t> m_Picture;
};

}  // namespace iddcx
