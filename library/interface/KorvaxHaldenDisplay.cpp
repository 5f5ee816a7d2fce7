#include "interface/KorvaxHaldenDisplay.h"

#include <cstdio>
#include <cstring>

void KorvaxHaldenDisplay::MonitorStop() {}

bool KorvaxHaldenDisplay::MonitorVisibilitySet(bool) { return true; }

bool KorvaxHaldenDisplay::FrameBufferUpdate(FrameBufferInfo, void*, UINT32, void*, UINT32, RECT*,
                                            UINT32, PointerInfo*) {
    return true;
}

bool KorvaxHaldenDisplay::CursorPositionSet(int, int, int) { return true; }

bool KorvaxHaldenDisplay::CursorShapeSet(PointerInfo*) { return true; }

bool KorvaxHaldenDisplay::Heartbeat() { return true; }

bool KorvaxHaldenDisplay::InactivitySet(INT32) { return false; }

std::wstring KorvaxHaldenDisplay::InstanceIdGet() {
    return L"{CE4D2BD2-B9AD-43BE-B498-F3B601B92D5E}";
}

std::wstring KorvaxHaldenDisplay::InstanceNameGet() { return std::wstring(); }

UINT32 KorvaxHaldenDisplay::InstanceContextGet() { return 0; }

bool KorvaxHaldenDisplay::GetMonitorDescription(BYTE** ppMonitorDescriptionInfo,
                                                UINT32* pCountByteMonitorDescriptionInfo,
                                                BYTE**, UINT32*) {
    const UINT32 CountModes = 1;
    const UINT32 CountByte = MonitorDescriptionSize(CountModes);
    *pCountByteMonitorDescriptionInfo = CountByte;
    BYTE* pRecord = static_cast<BYTE*>(LocalAlloc(LPTR, CountByte));  // zero-filled
    *ppMonitorDescriptionInfo = pRecord;
    if (pRecord == nullptr) {
        printf("SampleDisplayInstance::GetMonitorDescription failed! Out of memory\n");
        return false;
    }
    MonitorDescriptionHeader Header{};
    Header.CountModes = CountModes;
    MonitorDescriptionMode Mode{};
    Mode.ModeValue0 = static_cast<UINT32>(ModeValue0);
    Mode.ModeValue1 = static_cast<UINT32>(ModeValue1);
    Mode.RefreshRate = 60;
    std::memcpy(pRecord, &Header, sizeof(Header));
    std::memcpy(pRecord + sizeof(Header), &Mode, sizeof(Mode));
    return true;
}

bool KorvaxHaldenDisplay::InstanceQuery(void*) { return false; }
