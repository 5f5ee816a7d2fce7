#pragma once

#include "interface/INimboApiDisplayMonitorInstance.h"

// The library's own monitor instance: one display mode made from the two
// size values of PlugMonitor; accepts every update without using it.
class KorvaxHaldenDisplay : public INimboApiDisplayMonitorInstance {
public:
    void MonitorStop() override;
    bool MonitorVisibilitySet(bool bVisible) override;
    bool FrameBufferUpdate(FrameBufferInfo Info, void* pFrameBuffer, UINT32 Pitch,
                           void* pFrameBufferAuxiliary, UINT32 FrameBufferAuxiliaryPitch,
                           RECT* pRectangleUpdateArea, UINT32 Flags,
                           PointerInfo* pPointerInfo) override;
    bool CursorPositionSet(int x, int y, int visible) override;
    bool CursorShapeSet(PointerInfo* pPointerShape) override;
    bool Heartbeat() override;
    bool InactivitySet(INT32 Inactive) override;
    std::wstring InstanceIdGet() override;
    std::wstring InstanceNameGet() override;
    UINT32 InstanceContextGet() override;
    bool GetMonitorDescription(BYTE** ppMonitorDescriptionInfo,
                               UINT32* pCountByteMonitorDescriptionInfo, BYTE** ppMonitorEdidInfo,
                               UINT32* pCountByteMonitorEdidInfo) override;
    bool InstanceQuery(void* pQuery) override;

    INT32 ModeValue0 = 0;  // PlugMonitor's second argument
    INT32 ModeValue1 = 0;  // PlugMonitor's first argument
};
