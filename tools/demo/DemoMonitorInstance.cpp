#include "DemoMonitorInstance.h"

#include <cstring>

#include "interface/NimboMonitorRecords.h"

DemoMonitorInstance::DemoMonitorInstance(std::shared_ptr<DemoMonitorRecord> pRecord, uint32_t Width, uint32_t Height)
    : m_pRecord(std::move(pRecord)), m_Width(Width), m_Height(Height) {
    LARGE_INTEGER Frequency;
    if (QueryPerformanceFrequency(&Frequency) && Frequency.QuadPart > 0)
        m_TicksPerMicrosecond = static_cast<double>(Frequency.QuadPart) / 1e6;
}

void DemoMonitorInstance::MonitorStop() { m_pRecord->Stats.StopRecord(); }

bool DemoMonitorInstance::MonitorVisibilitySet(bool bVisible) {
    m_pRecord->Stats.VisibilitySet(bVisible);
    return true;
}

bool DemoMonitorInstance::FrameBufferUpdate(FrameBufferInfo Info, void* pFrameBuffer, UINT32 Pitch, void*, UINT32,
                                            RECT* pRectangleUpdateArea, UINT32, PointerInfo*) {
    LARGE_INTEGER Delivered;
    QueryPerformanceCounter(&Delivered);
    // 32-bit pixels, so a row needs at least Width * 4 bytes.
    if (pFrameBuffer == nullptr || pRectangleUpdateArea == nullptr || Info.Width == 0 || Info.Height == 0 ||
        Pitch / DemoFrameImage::BytesPerPixel < Info.Width)
        return false;
    const RECT Copied = m_pRecord->Image.RectCopy(static_cast<const uint8_t*>(pFrameBuffer), Pitch, Info.Width,
                                                  Info.Height, *pRectangleUpdateArea);
    const double Area = static_cast<double>(Copied.right - Copied.left) * static_cast<double>(Copied.bottom - Copied.top);
    const double Screen = static_cast<double>(Info.Width) * static_cast<double>(Info.Height);
    m_pRecord->Stats.FrameRecord(Area / Screen, PrivateLatencyMicroseconds(Delivered.QuadPart));
    return true;
}

double DemoMonitorInstance::PrivateLatencyMicroseconds(int64_t DeliveryTicks) const {
    if (m_pRecord->pClock == nullptr)
        return -1;
    int64_t Presented = 0;
    bool bKnown = false;
    m_pRecord->Image.PixelsVisit([&](const uint8_t* pPixels, uint32_t Width, uint32_t Height, uint32_t Pitch) {
        bKnown = pPixels != nullptr &&
                 m_pRecord->pClock->PresentationTicksFind(pPixels, Width, Height, Pitch, &Presented);
    });
    if (!bKnown || Presented > DeliveryTicks)
        return -1;
    return static_cast<double>(DeliveryTicks - Presented) / m_TicksPerMicrosecond;
}

bool DemoMonitorInstance::CursorPositionSet(int, int, int) { return true; }

bool DemoMonitorInstance::CursorShapeSet(PointerInfo*) { return true; }

bool DemoMonitorInstance::Heartbeat() { return true; }

bool DemoMonitorInstance::InactivitySet(INT32) {
    m_pRecord->Stats.InactivityRecord();
    return true;
}

std::wstring DemoMonitorInstance::InstanceIdGet() {
    // One id per monitor, so the library keeps each one's index apart.
    std::wstring Id = L"{5E1D0DE0-0000-4000-8000-000000000000}";
    uint32_t Value = m_pRecord->Ordinal;
    for (size_t Position = Id.size() - 2; Value != 0; --Position, Value >>= 4)
        Id[Position] = L"0123456789ABCDEF"[Value & 0xF];
    return Id;
}

std::wstring DemoMonitorInstance::InstanceNameGet() { return L"nimbo-demo monitor " + std::to_wstring(m_pRecord->Ordinal); }

UINT32 DemoMonitorInstance::InstanceContextGet() { return m_pRecord->Ordinal; }

bool DemoMonitorInstance::GetMonitorDescription(BYTE** ppMonitorDescriptionInfo,
                                                UINT32* pCountByteMonitorDescriptionInfo, BYTE**, UINT32*) {
    // One mode: width, height, 0, 60 Hz. LocalAlloc'd: the library frees it
    // with LocalFree after the plug request. No EDID.
    const UINT32 CountByte = MonitorDescriptionSize(1);
    auto* pRecord = static_cast<BYTE*>(LocalAlloc(LPTR, CountByte));
    if (pRecord == nullptr)
        return false;
    MonitorDescriptionHeader Header{};
    Header.CountModes = 1;
    MonitorDescriptionMode Mode{};
    Mode.ModeValue0 = m_Width;
    Mode.ModeValue1 = m_Height;
    Mode.RefreshRate = 60;
    std::memcpy(pRecord, &Header, sizeof(Header));
    std::memcpy(pRecord + sizeof(Header), &Mode, sizeof(Mode));
    *ppMonitorDescriptionInfo = pRecord;
    *pCountByteMonitorDescriptionInfo = CountByte;
    return true;
}

bool DemoMonitorInstance::InstanceQuery(void*) { return false; }
