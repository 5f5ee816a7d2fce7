#include "RecordingMonitorInstance.h"

#include <chrono>
#include <cstring>

#include "platform/win32.h"

void RecordingLog::Append(const RecordedCall& Call) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_Calls.push_back(Call);
    m_Changed.notify_all();
}

void RecordingLog::DeletedSet() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_bDeleted = true;
    m_Changed.notify_all();
}

std::vector<RecordedCall> RecordingLog::Calls() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Calls;
}

std::vector<RecordedCall> RecordingLog::CallsOf(RecordedCall::Kind Type) const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    std::vector<RecordedCall> Selected;
    for (const auto& Call : m_Calls)
        if (Call.Type == Type)
            Selected.push_back(Call);
    return Selected;
}

size_t RecordingLog::CountOf(RecordedCall::Kind Type) const { return CallsOf(Type).size(); }

bool RecordingLog::IsDeleted() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_bDeleted;
}

int RecordingLog::DescriptionCallCount() const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_DescriptionCalls;
}

void RecordingLog::DescriptionCallCountAdd() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    ++m_DescriptionCalls;
}

bool RecordingLog::WaitForCount(RecordedCall::Kind Type, size_t Count, DWORD RealMilliseconds) const {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_Changed.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds), [&] {
        size_t Found = 0;
        for (const auto& Call : m_Calls)
            Found += Call.Type == Type ? 1 : 0;
        return Found >= Count;
    });
}

bool RecordingLog::WaitForDeleted(DWORD RealMilliseconds) const {
    std::unique_lock<std::mutex> Lock(m_Mutex);
    return m_Changed.wait_for(Lock, std::chrono::milliseconds(RealMilliseconds), [&] { return m_bDeleted; });
}

RecordingMonitorInstance::RecordingMonitorInstance(std::shared_ptr<RecordingLog> pLog, UINT32 Width, UINT32 Height)
    : m_pLog(std::move(pLog)), m_Width(Width), m_Height(Height) {}

RecordingMonitorInstance::~RecordingMonitorInstance() { m_pLog->DeletedSet(); }

void RecordingMonitorInstance::PrivateAppend(RecordedCall Call) {
    LARGE_INTEGER Now{};
    QueryPerformanceCounter(&Now);
    Call.MachineTime = Now.QuadPart;
    m_pLog->Append(Call);
}

void RecordingMonitorInstance::MonitorStop() {
    RecordedCall Call;
    Call.Type = RecordedCall::Kind::MonitorStop;
    PrivateAppend(Call);
}

bool RecordingMonitorInstance::MonitorVisibilitySet(bool bVisible) {
    RecordedCall Call;
    Call.Type = RecordedCall::Kind::Visibility;
    Call.bVisible = bVisible;
    PrivateAppend(Call);
    return true;
}

bool RecordingMonitorInstance::FrameBufferUpdate(FrameBufferInfo Info, void* pFrameBuffer, UINT32 Pitch,
                                                 void* pFrameBufferAuxiliary, UINT32 FrameBufferAuxiliaryPitch,
                                                 RECT* pRectangleUpdateArea, UINT32 Flags, PointerInfo* pPointerInfo) {
    RecordedCall Call;
    Call.Type = RecordedCall::Kind::FrameBufferUpdate;
    Call.Info = Info;
    Call.pFrameBuffer = pFrameBuffer;
    Call.Pitch = Pitch;
    Call.pFrameBufferAuxiliary = pFrameBufferAuxiliary;
    Call.FrameBufferAuxiliaryPitch = FrameBufferAuxiliaryPitch;
    Call.Rectangle = *pRectangleUpdateArea;
    Call.Flags = Flags;
    Call.pPointerInfo = pPointerInfo;
    const RECT& Area = Call.Rectangle;
    // Only a pixel of the frame: the rectangle may reach outside it.
    const bool bInside = Area.left >= 0 && Area.top >= 0 && Area.left < static_cast<LONG>(Info.Width) &&
                         Area.top < static_cast<LONG>(Info.Height);
    if (pFrameBuffer != nullptr && bInside && Area.left < Area.right && Area.top < Area.bottom)
        std::memcpy(&Call.PixelAtRectangleOrigin,
                    static_cast<const uint8_t*>(pFrameBuffer) + static_cast<size_t>(Area.top) * Pitch +
                        static_cast<size_t>(Area.left) * 4,
                    sizeof(uint32_t));
    if (pPointerInfo != nullptr) {
        Call.PointerX = pPointerInfo->X;
        Call.PointerY = pPointerInfo->Y;
        Call.PointerVisible = pPointerInfo->Visible;
        Call.ShapeWidth = pPointerInfo->Shape.ShapeWidth;
        Call.ShapeHeight = pPointerInfo->Shape.ShapeHeight;
        Call.ShapeFirstByte = pPointerInfo->Shape.ShapeData[0];
    }
    PrivateAppend(Call);
    return FrameBufferUpdateAction ? FrameBufferUpdateAction(Call) : true;
}

bool RecordingMonitorInstance::CursorPositionSet(int x, int y, int visible) {
    RecordedCall Call;
    Call.Type = RecordedCall::Kind::CursorPosition;
    Call.X = x;
    Call.Y = y;
    Call.Visible = visible;
    PrivateAppend(Call);
    return true;
}

bool RecordingMonitorInstance::CursorShapeSet(PointerInfo* pPointerShape) {
    RecordedCall Call;
    Call.Type = RecordedCall::Kind::CursorShape;
    Call.pPointerInfo = pPointerShape;
    if (pPointerShape != nullptr) {
        Call.ShapeWidth = pPointerShape->Shape.ShapeWidth;
        Call.ShapeHeight = pPointerShape->Shape.ShapeHeight;
        Call.ShapeFirstByte = pPointerShape->Shape.ShapeData[0];
    }
    PrivateAppend(Call);
    return true;
}

bool RecordingMonitorInstance::Heartbeat() {
    RecordedCall Call;
    Call.Type = RecordedCall::Kind::Heartbeat;
    PrivateAppend(Call);
    return true;
}

bool RecordingMonitorInstance::InactivitySet(INT32 Inactive) {
    RecordedCall Call;
    Call.Type = RecordedCall::Kind::Inactivity;
    Call.Inactive = Inactive;
    PrivateAppend(Call);
    return true;
}

std::wstring RecordingMonitorInstance::InstanceIdGet() { return L"{5A1B7E0C-0D2E-4F6A-9B8C-7D6E5F4A3B2C}"; }

std::wstring RecordingMonitorInstance::InstanceNameGet() { return L"recording"; }

UINT32 RecordingMonitorInstance::InstanceContextGet() { return 0; }

bool RecordingMonitorInstance::GetMonitorDescription(BYTE** ppMonitorDescriptionInfo,
                                                     UINT32* pCountByteMonitorDescriptionInfo,
                                                     BYTE** ppMonitorEdidInfo, UINT32* pCountByteMonitorEdidInfo) {
    m_pLog->DescriptionCallCountAdd();
    if (!bDescriptionResult)
        return false;
    const UINT32 Fields[9] = {0, 0, 0, 0, 1, m_Width, m_Height, 0, 60};
    auto* pDescription = static_cast<BYTE*>(LocalAlloc(LPTR, sizeof(Fields)));
    if (pDescription == nullptr)
        return false;
    std::memcpy(pDescription, Fields, sizeof(Fields));
    *ppMonitorDescriptionInfo = pDescription;
    *pCountByteMonitorDescriptionInfo = sizeof(Fields);
    if (CountByteEdid != 0) {
        auto* pEdid = static_cast<BYTE*>(LocalAlloc(LPTR, CountByteEdid));
        if (pEdid != nullptr) {
            std::memset(pEdid, 0x5A, CountByteEdid);
            *ppMonitorEdidInfo = pEdid;
            *pCountByteMonitorEdidInfo = CountByteEdid;
        }
    }
    return true;
}

bool RecordingMonitorInstance::InstanceQuery(void*) { return false; }
