// A monitor instance that records every call the library makes on it, and
// composes the frames it receives into a picture of the monitor. Its record
// outlives the instance (the frame-buffer thread deletes the instance), so a
// test reads it afterwards. Optional behaviour makes it slow, failing,
// throwing or faulting inside FrameBufferUpdate.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "interface/INimboApiDisplayMonitorInstance.h"
#include "platform/machine.h"

// The indirect display tests have their own recording instance, apart from
// the hook path's one.
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

class RecordingMonitorInstance : public INimboApiDisplayMonitorInstance {
public:
    explicit RecordingMonitorInstance(std::shared_ptr<MonitorRecord> pRecord) : m_pRecord(std::move(pRecord)) {}
    ~RecordingMonitorInstance() override { m_pRecord->Append(Call(MonitorCall::Kind::Destroyed)); }

    void MonitorStop() override {
        MonitorCall Record = Call(MonitorCall::Kind::Stop);
        Record.D3DObjectsLive = MachineD3DObjectsLive();
        m_pRecord->Append(Record);
    }
    bool MonitorVisibilitySet(bool bVisible) override {
        MonitorCall Record = Call(MonitorCall::Kind::Visibility);
        Record.bVisible = bVisible;
        m_pRecord->Append(Record);
        return true;
    }
    bool FrameBufferUpdate(FrameBufferInfo Info, void* pFrameBuffer, UINT32 Pitch, void* pFrameBufferAuxiliary,
                           UINT32 FrameBufferAuxiliaryPitch, RECT* pRectangleUpdateArea, UINT32 Flags,
                           PointerInfo* pPointerInfo) override {
        MonitorCall Record = Call(MonitorCall::Kind::Update);
        Record.Sequence = m_pRecord->UpdateBegin();
        const bool bResult = m_pRecord->OnUpdate ? m_pRecord->OnUpdate() : true;
        Record.Info = Info;
        Record.pFrameBuffer = pFrameBuffer;
        Record.Pitch = Pitch;
        Record.Rectangle = *pRectangleUpdateArea;
        Record.Flags = Flags;
        Record.bAuxiliaryNull = pFrameBufferAuxiliary == nullptr && FrameBufferAuxiliaryPitch == 0;
        Record.bPointerNull = pPointerInfo == nullptr;
        m_pRecord->Compose(pFrameBuffer, Pitch, *pRectangleUpdateArea);
        m_pRecord->Append(Record);
        return bResult;
    }
    bool CursorPositionSet(int, int, int) override { return true; }
    bool CursorShapeSet(PointerInfo*) override { return true; }
    bool Heartbeat() override {
        m_pRecord->Append(Call(MonitorCall::Kind::Heartbeat));
        return true;
    }
    bool InactivitySet(INT32 Inactive) override {
        MonitorCall Record = Call(MonitorCall::Kind::Inactivity);
        Record.Inactive = Inactive;
        m_pRecord->Append(Record);
        return false;
    }
    std::wstring InstanceIdGet() override { return L"{00000000-0000-0000-0000-00000000AB5E}"; }
    std::wstring InstanceNameGet() override { return L"recording"; }
    UINT32 InstanceContextGet() override { return 0; }
    bool GetMonitorDescription(BYTE** ppMonitorDescriptionInfo, UINT32* pCountByteMonitorDescriptionInfo,
                               BYTE** ppMonitorEdidInfo, UINT32* pCountByteMonitorEdidInfo) override {
        const UINT32 Fields[9] = {0, 0, 0, 0, 1, m_pRecord->DescriptionWidth, m_pRecord->DescriptionHeight, 0, 60};
        auto* pRecord = static_cast<BYTE*>(LocalAlloc(LPTR, sizeof(Fields)));
        std::memcpy(pRecord, Fields, sizeof(Fields));
        *ppMonitorDescriptionInfo = pRecord;
        *pCountByteMonitorDescriptionInfo = sizeof(Fields);
        // An EDID record too: the library releases it along with the description.
        *ppMonitorEdidInfo = static_cast<BYTE*>(LocalAlloc(LPTR, 128));
        *pCountByteMonitorEdidInfo = 128;
        return true;
    }
    bool InstanceQuery(void*) override { return false; }

private:
    static MonitorCall Call(MonitorCall::Kind What) {
        MonitorCall Result;
        Result.What = What;
        Result.MachineMilliseconds = GetTickCount64();
        return Result;
    }
    std::shared_ptr<MonitorRecord> m_pRecord;
};

}  // namespace iddcx
