#include "CountingMonitorInstance.h"

#include <atomic>
#include <cstring>

#include "platform/win32.h"

namespace {

// Keeps the reads of frame pixels from being optimised away.
std::atomic<uint32_t> PixelSink{0};

uint32_t PixelRead(const void* pFrameBuffer, UINT32 Pitch, UINT32 X, UINT32 Y) {
    uint32_t Pixel = 0;
    std::memcpy(&Pixel, static_cast<const uint8_t*>(pFrameBuffer) + static_cast<size_t>(Y) * Pitch + X * 4u,
                sizeof(Pixel));
    return Pixel;
}

}  // namespace

CountingMonitorInstance::CountingMonitorInstance(std::shared_ptr<MonitorTally> pTally, UINT32 Width, UINT32 Height)
    : m_pTally(std::move(pTally)), m_Width(Width), m_Height(Height) {}

CountingMonitorInstance::~CountingMonitorInstance() { m_pTally->DeletedSet(); }

void CountingMonitorInstance::MonitorStop() { m_pTally->CallAdd(MonitorTally::Kind::MonitorStop); }

bool CountingMonitorInstance::MonitorVisibilitySet(bool) {
    m_pTally->CallAdd(MonitorTally::Kind::Visibility);
    return true;
}

bool CountingMonitorInstance::FrameBufferUpdate(FrameBufferInfo Info, void* pFrameBuffer, UINT32 Pitch, void*,
                                                UINT32, RECT* pRectangleUpdateArea, UINT32, PointerInfo*) {
    // A sound host reads only inside the frame, whatever the rectangle says.
    if (pFrameBuffer != nullptr && Info.Width != 0 && Info.Height != 0)
        PixelSink += PixelRead(pFrameBuffer, Pitch, 0, 0) + PixelRead(pFrameBuffer, Pitch, Info.Width - 1, Info.Height - 1);
    m_pTally->FrameAdd(pRectangleUpdateArea != nullptr ? *pRectangleUpdateArea : RECT{});
    return true;
}

bool CountingMonitorInstance::CursorPositionSet(int, int, int) {
    m_pTally->CallAdd(MonitorTally::Kind::Cursor);
    return true;
}

bool CountingMonitorInstance::CursorShapeSet(PointerInfo*) {
    m_pTally->CallAdd(MonitorTally::Kind::Cursor);
    return true;
}

bool CountingMonitorInstance::Heartbeat() {
    m_pTally->CallAdd(MonitorTally::Kind::Heartbeat);
    return true;
}

bool CountingMonitorInstance::InactivitySet(INT32) {
    m_pTally->CallAdd(MonitorTally::Kind::Inactivity);
    return true;
}

std::wstring CountingMonitorInstance::InstanceIdGet() { return InstanceId; }

std::wstring CountingMonitorInstance::InstanceNameGet() { return L"counting"; }

UINT32 CountingMonitorInstance::InstanceContextGet() { return 0; }

bool CountingMonitorInstance::GetMonitorDescription(BYTE** ppMonitorDescriptionInfo,
                                                    UINT32* pCountByteMonitorDescriptionInfo, BYTE** ppMonitorEdidInfo,
                                                    UINT32* pCountByteMonitorEdidInfo) {
    const UINT32 Fields[9] = {0, 0, 0, 0, 1, m_Width, m_Height, 0, 60};
    auto* pDescription = static_cast<BYTE*>(LocalAlloc(LPTR, sizeof(Fields)));
    auto* pEdid = static_cast<BYTE*>(LocalAlloc(LPTR, CountByteEdid));
    if (pDescription == nullptr || pEdid == nullptr) {
        if (pDescription != nullptr)
            LocalFree(pDescription);
        if (pEdid != nullptr)
            LocalFree(pEdid);
        return false;
    }
    std::memcpy(pDescription, Fields, sizeof(Fields));
    std::memset(pEdid + sizeof(MonitorEdidHeader), 0x5A, CountByteEdid - sizeof(MonitorEdidHeader));
    *ppMonitorDescriptionInfo = pDescription;
    *pCountByteMonitorDescriptionInfo = sizeof(Fields);
    *ppMonitorEdidInfo = pEdid;
    *pCountByteMonitorEdidInfo = CountByteEdid;
    return true;
}

bool CountingMonitorInstance::InstanceQuery(void*) { return false; }
