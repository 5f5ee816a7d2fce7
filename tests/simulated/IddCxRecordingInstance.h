// The indirect display tests' monitor instance: records every call the
// library makes on it into a MonitorRecord and composes the frames it receives into the record's
// picture. The record's behaviour hook makes it slow, failing, throwing or
// faulting inside FrameBufferUpdate.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "IddCxMonitorRecord.h"
#include "interface/INimboApiDisplayMonitorInstance.h"
#include "platform/machine.h"

namespace iddcx {

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
