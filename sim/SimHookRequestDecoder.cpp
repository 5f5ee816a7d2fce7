#include "SimHookRequestDecoder.h"

#include <cstring>

#include "SimRecordText.h"
#include "driver/ALHookIoctlRecords.h"
#include "driver/ALHookSharedRecords.h"
#include "driver/ALIoctlCode.h"

namespace {

template <typename T>
bool Holds(const std::vector<uint8_t>& Bytes) {
    return Bytes.size() >= sizeof(T);
}

std::wstring MonitorRecord(const std::vector<uint8_t>& Bytes, const wchar_t* pName) {
    if (Bytes.empty())
        return SimRecordText::Absent();
    if (Bytes.size() < 8)
        return SimRecordText::Short(Bytes.size());
    struct Head {
        uint32_t AdapterIndex;
        uint32_t MonitorIndex;
    } Value{};
    std::memcpy(&Value, Bytes.data(), sizeof(Value));
    return SimRecordText(pName)
        .Field(L"AdapterIndex", Value.AdapterIndex)
        .Field(L"MonitorIndex", Value.MonitorIndex)
        .Field(L"CountByte", Bytes.size())
        .Text();
}

std::wstring EventsIn(const SimRequest& Request) {
    if (!Holds<IoctlInfoEventsIn>(Request.Input))
        return Request.Input.empty() ? SimRecordText::Absent() : SimRecordText::Short(Request.Input.size());
    const auto Info = Request.InputAs<IoctlInfoEventsIn>();
    return SimRecordText(L"IoctlInfoEventsIn")
        .Field(L"AdapterIndex", Info.AdapterIndex)
        .Field(L"MonitorIndex", Info.MonitorIndex)
        .Hex(L"Reserved", Info.Reserved)
        .Hex(L"hEventMonitor", Info.hEventMonitor)
        .Hex(L"hEventPointerPositionChanged", Info.hEventPointerPositionChanged)
        .Hex(L"hEventPointerShapeChanged", Info.hEventPointerShapeChanged)
        .Text();
}

std::wstring FrameBufferIn(const SimRequest& Request) {
    if (!Holds<IoctlInfoFrameBufferIn>(Request.Input))
        return Request.Input.empty() ? SimRecordText::Absent() : SimRecordText::Short(Request.Input.size());
    const auto Info = Request.InputAs<IoctlInfoFrameBufferIn>();
    return SimRecordText(L"IoctlInfoFrameBufferIn")
        .Field(L"AdapterIndex", Info.AdapterIndex)
        .Field(L"MonitorIndex", Info.MonitorIndex)
        .Hex(L"Reserved", Info.Reserved)
        .Hex(L"hEventFramebufferChanged", Info.hEventFramebufferChanged)
        .Text();
}

std::wstring Output16(const SimRequest& Request, const wchar_t* pName) {
    if (!Holds<IoctlInfoEventsOut>(Request.Output))
        return Request.Output.empty() ? SimRecordText::Absent() : SimRecordText::Short(Request.Output.size());
    const auto Info = Request.OutputAs<IoctlInfoEventsOut>();
    return SimRecordText(pName)
        .Hex(L"Reserved", Info.Reserved)
        .Hex(L"pCircularBufferMonitorEvents", Info.pCircularBufferMonitorEvents)
        .Text();
}

std::wstring FrameBufferOut(const SimRequest& Request) {
    if (!Holds<IoctlInfoMonitorFrameBuffer>(Request.Output))
        return Request.Output.empty() ? SimRecordText::Absent() : SimRecordText::Short(Request.Output.size());
    const auto Info = Request.OutputAs<IoctlInfoMonitorFrameBuffer>();
    return SimRecordText(L"IoctlInfoMonitorFrameBuffer")
        .Field(L"Width", Info.Width)
        .Field(L"Height", Info.Height)
        .Field(L"Pitch", Info.Pitch)
        .Hex(L"pFrameBuffer", Info.pFrameBuffer)
        .Hex(L"pCircularBufferUpdates", Info.pCircularBufferUpdates)
        .Hex(L"pPointerInfo", Info.pPointerInfo)
        .Field(L"Aero", Info.Aero)
        .Text();
}

std::wstring U32(const std::vector<uint8_t>& Bytes, const wchar_t* pName) {
    if (Bytes.empty())
        return SimRecordText::Absent();
    if (Bytes.size() < 4)
        return SimRecordText::Short(Bytes.size());
    uint32_t Value;
    std::memcpy(&Value, Bytes.data(), sizeof(Value));
    return SimRecordText(L"u32").Field(pName, Value).Text();
}

std::wstring ZeroCopyIn(const SimRequest& Request) {
    if (!Holds<IoctlInfoZeroCopyIn>(Request.Input))
        return Request.Input.empty() ? SimRecordText::Absent() : SimRecordText::Short(Request.Input.size());
    const auto Info = Request.InputAs<IoctlInfoZeroCopyIn>();
    return SimRecordText(L"IoctlInfoZeroCopyIn")
        .Field(L"AdapterIndex", Info.AdapterIndex)
        .Field(L"MonitorIndex", Info.MonitorIndex)
        .Hex(L"Reserved", Info.Reserved)
        .Text();
}

std::wstring ZeroCopyUnmapIn(const SimRequest& Request) {
    if (!Holds<IoctlInfoZeroCopyUnmapIn>(Request.Input))
        return Request.Input.empty() ? SimRecordText::Absent() : SimRecordText::Short(Request.Input.size());
    const auto Info = Request.InputAs<IoctlInfoZeroCopyUnmapIn>();
    return SimRecordText(L"IoctlInfoZeroCopyUnmapIn")
        .Field(L"AdapterIndex", Info.AdapterIndex)
        .Field(L"MonitorIndex", Info.MonitorIndex)
        .Hex(L"Reserved0", Info.Reserved0)
        .Hex(L"pFrameBufferAuxiliaryZeroCopy", Info.pFrameBufferAuxiliaryZeroCopy)
        .Hex(L"Reserved1", Info.Reserved1)
        .Text();
}

std::wstring Line(const wchar_t* pName, const std::wstring& Input, const std::wstring& Output) {
    return std::wstring(pName) + L" in=" + Input + L" out=" + Output;
}

std::wstring Bytes(const std::vector<uint8_t>& Buffer) {
    return Buffer.empty() ? SimRecordText::Absent() : SimRecordText::Short(Buffer.size());
}

}  // namespace

std::wstring SimHookRequestDecoder::Decode(DWORD Code, const SimRequest& Request) {
    switch (Code) {
    case ALIoctlCode::MonitorPlug:
        return Line(L"IoctlMonitorPlug", Bytes(Request.Input), MonitorRecord(Request.Output, L"MonitorDescription"));
    case ALIoctlCode::MonitorUnplug:
        return Line(L"IoctlMonitorUnplug", Bytes(Request.Input), MonitorRecord(Request.Output, L"IoctlInfo"));
    case ALIoctlCode::MonitorEdidSet:
        return Line(L"IoctlMonitorEdidSet", Bytes(Request.Input), MonitorRecord(Request.Output, L"Edid"));
    case ALIoctlCode::MonitorEventsSubscribe:
        return Line(L"IoctlMonitorEventsSubscribe", EventsIn(Request), Bytes(Request.Output));
    case ALIoctlCode::MonitorEventUnsubscribe:
        return Line(L"IoctlMonitorEventUnsubscribe", EventsIn(Request), Output16(Request, L"IoctlInfoEventsOut"));
    case ALIoctlCode::MonitorFrameBufferMap:
        return Line(L"IoctlMonitorFrameBufferMap", FrameBufferIn(Request), Bytes(Request.Output));
    case ALIoctlCode::MonitorFrameBufferUnmap:
        return Line(L"IoctlMonitorFrameBufferUnmap", FrameBufferIn(Request), FrameBufferOut(Request));
    case ALIoctlCode::MonitorFrameBufferZeroCopyUnmap:
        return Line(L"IoctlMonitorFrameBufferZeroCopyUnmap", ZeroCopyUnmapIn(Request), Bytes(Request.Output));
    case ALIoctlCode::MonitorFrameBufferZeroCopyUpdate:
        return Line(L"IoctlMonitorFrameBufferZeroCopyUpdate", ZeroCopyIn(Request), Bytes(Request.Output));
    case ALIoctlCode::HookDriverAdapterIsActive:
        return Line(L"IoctlHookDriverAdapterIsActive", U32(Request.Input, L"AdapterIndex"), Bytes(Request.Output));
    case ALIoctlCode::MonitorPersistOnClose:
        return Line(L"IoctlMonitorPersistOnClose", U32(Request.Input, L"dwEnablePersist"), Bytes(Request.Output));
    default:
        return Line(L"unknown", Bytes(Request.Input), Bytes(Request.Output));
    }
}
