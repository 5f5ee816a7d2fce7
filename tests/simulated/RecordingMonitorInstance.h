// A monitor instance that records every call the frame-buffer thread makes,
// with the values it was handed and what the pointed-to records held at that
// moment, so that a test can wait for calls and check them after the thread
// has deleted the instance. Actions let a test act inside a call on the
// worker thread (fail, throw, fault, or drive the simulated driver).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "driver/ALHookSharedRecords.h"
#include "interface/INimboApiDisplayMonitorInstance.h"

struct RecordedCall {
    enum class Kind { MonitorStop, Visibility, FrameBufferUpdate, CursorPosition, CursorShape, Heartbeat, Inactivity };

    Kind Type = Kind::MonitorStop;
    int64_t MachineTime = 0;  // performance counter at the call (the machine clock, 100 ns)
    bool bVisible = false;
    // FrameBufferUpdate
    FrameBufferInfo Info{};
    void* pFrameBuffer = nullptr;
    UINT32 Pitch = 0;
    void* pFrameBufferAuxiliary = nullptr;
    UINT32 FrameBufferAuxiliaryPitch = 0;
    RECT Rectangle{};
    UINT32 Flags = 0;
    PointerInfo* pPointerInfo = nullptr;
    uint32_t PixelAtRectangleOrigin = 0;  // read from the frame buffer handed in, when the rectangle is not empty
    // the pointer record handed in (FrameBufferUpdate, CursorShapeSet), as it was then
    int32_t PointerX = 0, PointerY = 0;
    uint8_t PointerVisible = 0;
    uint32_t ShapeWidth = 0, ShapeHeight = 0;
    uint8_t ShapeFirstByte = 0;
    // CursorPositionSet
    int X = 0, Y = 0, Visible = 0;
    INT32 Inactive = 0;
};

// What the instance recorded; outlives the instance.
class RecordingLog {
public:
    void Append(const RecordedCall& Call);
    void DeletedSet();
    std::vector<RecordedCall> Calls() const;
    std::vector<RecordedCall> CallsOf(RecordedCall::Kind Type) const;
    size_t CountOf(RecordedCall::Kind Type) const;
    bool IsDeleted() const;
    int DescriptionCallCount() const;
    void DescriptionCallCountAdd();
    // Waits until at least Count calls of the kind were recorded; false after
    // the real-time safety limit.
    bool WaitForCount(RecordedCall::Kind Type, size_t Count, DWORD RealMilliseconds = 20000) const;
    bool WaitForDeleted(DWORD RealMilliseconds = 20000) const;

private:
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Changed;
    std::vector<RecordedCall> m_Calls;
    bool m_bDeleted = false;
    int m_DescriptionCalls = 0;
};

class RecordingMonitorInstance : public INimboApiDisplayMonitorInstance {
public:
    RecordingMonitorInstance(std::shared_ptr<RecordingLog> pLog, UINT32 Width, UINT32 Height);
    ~RecordingMonitorInstance() override;

    void MonitorStop() override;
    bool MonitorVisibilitySet(bool bVisible) override;
    bool FrameBufferUpdate(FrameBufferInfo Info, void* pFrameBuffer, UINT32 Pitch, void* pFrameBufferAuxiliary,
                           UINT32 FrameBufferAuxiliaryPitch, RECT* pRectangleUpdateArea, UINT32 Flags,
                           PointerInfo* pPointerInfo) override;
    bool CursorPositionSet(int x, int y, int visible) override;
    bool CursorShapeSet(PointerInfo* pPointerShape) override;
    bool Heartbeat() override;
    bool InactivitySet(INT32 Inactive) override;
    std::wstring InstanceIdGet() override;
    std::wstring InstanceNameGet() override;
    UINT32 InstanceContextGet() override;
    bool GetMonitorDescription(BYTE** ppMonitorDescriptionInfo, UINT32* pCountByteMonitorDescriptionInfo,
                               BYTE** ppMonitorEdidInfo, UINT32* pCountByteMonitorEdidInfo) override;
    bool InstanceQuery(void* pQuery) override;

    // Set before the thread starts. FrameBufferUpdateAction runs inside
    // FrameBufferUpdate after the call was recorded; its result is the
    // call's result.
    std::function<bool(const RecordedCall&)> FrameBufferUpdateAction;
    bool bDescriptionResult = true;
    UINT32 CountByteEdid = 0;  // non-zero: an EDID record of this size is supplied too

private:
    void PrivateAppend(RecordedCall Call);

    std::shared_ptr<RecordingLog> m_pLog;
    UINT32 m_Width;
    UINT32 m_Height;
};
