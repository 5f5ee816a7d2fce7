// The demo's monitor instance, written as a host application writes one:
// describes a monitor with one display mode and copies what changed of each
// frame (only inside the rectangle it is given) into the host's own picture,
// noting the share of the screen that changed and, when the presentation
// time is known, the latency from presentation to delivery.
#pragma once

#include <memory>

#include "DemoMonitorRecord.h"
#include "interface/INimboApiDisplayMonitorInstance.h"

class DemoMonitorInstance : public INimboApiDisplayMonitorInstance {
public:
    DemoMonitorInstance(std::shared_ptr<DemoMonitorRecord> pRecord, uint32_t Width, uint32_t Height);

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

private:
    // Microseconds from the picture's presentation to DeliveryTicks; -1
    // when its presentation time is unknown.
    double PrivateLatencyMicroseconds(int64_t DeliveryTicks) const;

    const std::shared_ptr<DemoMonitorRecord> m_pRecord;
    const uint32_t m_Width;
    const uint32_t m_Height;
    double m_TicksPerMicrosecond = 1;
};
