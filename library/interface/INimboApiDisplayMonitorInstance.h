#pragma once

#include <string>

#include "interface/NimboMonitorRecords.h"

struct PointerInfo;

// The receiving end of one virtual monitor: describes the monitor for the
// driver and receives everything its frame-buffer thread learns. The slot
// order is part of the contract with hosts that supply an implementation.
//
// Records returned by GetMonitorDescription are allocated with LocalAlloc;
// the library releases them with LocalFree once the plug request has
// returned (the system heap is shared by every module of the process, so a
// host built against another C runtime may supply them safely).
class INimboApiDisplayMonitorInstance {
public:
    virtual ~INimboApiDisplayMonitorInstance() = default;
    virtual void MonitorStop() = 0;
    virtual bool MonitorVisibilitySet(bool bVisible) = 0;
    virtual bool FrameBufferUpdate(FrameBufferInfo Info, void* pFrameBuffer, UINT32 Pitch,
                                   void* pFrameBufferAuxiliary, UINT32 FrameBufferAuxiliaryPitch,
                                   RECT* pRectangleUpdateArea, UINT32 Flags,
                                   PointerInfo* pPointerInfo) = 0;
    virtual bool CursorPositionSet(int x, int y, int visible) = 0;
    virtual bool CursorShapeSet(PointerInfo* pPointerShape) = 0;
    virtual bool Heartbeat() = 0;
    virtual bool InactivitySet(INT32 Inactive) = 0;
    virtual std::wstring InstanceIdGet() = 0;
    virtual std::wstring InstanceNameGet() = 0;
    virtual UINT32 InstanceContextGet() = 0;
    virtual bool GetMonitorDescription(BYTE** ppMonitorDescriptionInfo,
                                       UINT32* pCountByteMonitorDescriptionInfo,
                                       BYTE** ppMonitorEdidInfo,
                                       UINT32* pCountByteMonitorEdidInfo) = 0;
    virtual bool InstanceQuery(void* pQuery) = 0;
};
