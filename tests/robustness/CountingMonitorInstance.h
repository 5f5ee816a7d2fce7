// A monitor instance for the robustness tests: describes one mode of a
// chosen size (with an EDID for the hook driver to take), counts what the
// frame-buffer thread tells it into a MonitorTally, and touches the first and
// the last pixel of every frame it is handed, so that a frame buffer smaller
// than the frame shows under the address sanitizer.
#pragma once

#include <memory>

#include "MonitorTally.h"
#include "interface/INimboApiDisplayMonitorInstance.h"

class CountingMonitorInstance : public INimboApiDisplayMonitorInstance {
public:
    static constexpr UINT32 CountByteEdid = 128;

    CountingMonitorInstance(std::shared_ptr<MonitorTally> pTally, UINT32 Width, UINT32 Height);
    ~CountingMonitorInstance() override;

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

    // The instance id under which the library stores the monitor index.
    static constexpr const wchar_t* InstanceId = L"{C0FFEE00-7E57-4B0B-9A11-0123456789AB}";

private:
    std::shared_ptr<MonitorTally> m_pTally;
    UINT32 m_Width;
    UINT32 m_Height;
};
