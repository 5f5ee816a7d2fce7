#include "SimIddCxRequestDecoder.h"

#include <cstring>

#include "SimMonitorDescription.h"
#include "SimRecordText.h"
#include "driver/ALIoctlCode.h"

namespace {

std::wstring Bytes(const std::vector<uint8_t>& Buffer) {
    return Buffer.empty() ? SimRecordText::Absent() : SimRecordText::Short(Buffer.size());
}

std::wstring U32(const std::vector<uint8_t>& Buffer, const wchar_t* pName) {
    if (Buffer.size() < sizeof(uint32_t))
        return Bytes(Buffer);
    uint32_t Value;
    std::memcpy(&Value, Buffer.data(), sizeof(Value));
    return SimRecordText(L"u32").Field(pName, Value).Text();
}

std::wstring Description(const std::vector<uint8_t>& Buffer) {
    SimMonitorDescription Parsed;
    if (SimMonitorDescription::Parse(Buffer.data(), static_cast<DWORD>(Buffer.size()), &Parsed) != ERROR_SUCCESS)
        return Bytes(Buffer);
    SimRecordText Text(L"MonitorDescription");
    Text.Field(L"AdapterIndex", Parsed.AdapterIndex)
        .Field(L"MonitorIndex", Parsed.MonitorIndex)
        .Field(L"CountModes", Parsed.Modes.size());
    for (const auto& Mode : Parsed.Modes)
        Text.Field(L"Width", Mode.Width).Field(L"Height", Mode.Height).Field(L"Refresh", Mode.RefreshRate);
    return Text.Text();
}

std::wstring Line(const wchar_t* pName, const std::wstring& Input, const std::wstring& Output) {
    return std::wstring(pName) + L" in=" + Input + L" out=" + Output;
}

}  // namespace

std::wstring SimIddCxRequestDecoder::Decode(DWORD Code, const SimRequest& Request) {
    switch (Code) {
    case ALIoctlCode::ProcessApplicationHandleSet:
        return Line(L"PrivateIoctlProcessApplicationHandleSet", U32(Request.Input, L"dwProcessId"),
                    Bytes(Request.Output));
    case ALIoctlCode::MonitorPlug:
        return Line(L"IoctlMonitorPlug", Description(Request.Input), Bytes(Request.Output));
    case ALIoctlCode::MonitorUnplug:
        return Line(L"IoctlMonitorUnplug", U32(Request.Input, L"MonitorIndex"), Bytes(Request.Output));
    case ALIoctlCode::MonitorFrameBufferEventsSubscribe:
        return Line(L"IoctlMonitorFrameBufferEventsSubscribe", U32(Request.Input, L"MonitorIndex"),
                    Bytes(Request.Output));
    case ALIoctlCode::MonitorSwapchainEventsRetrieve:
        return Line(L"IoctlMonitorSwapchainEventsRetrieve", U32(Request.Input, L"MonitorIndex"),
                    Bytes(Request.Output));
    case ALIoctlCode::MonitorFrameBufferDirectXAcquire:
        return Line(L"IoctlMonitorFrameBufferDirectXAcquire", U32(Request.Input, L"MonitorIndex"),
                    Bytes(Request.Output));
    case ALIoctlCode::MonitorPersistOnClose:
        return Line(L"IoctlMonitorPersistOnClose", U32(Request.Input, L"dwEnablePersist"), Bytes(Request.Output));
    default:
        return Line(L"unknown", Bytes(Request.Input), Bytes(Request.Output));
    }
}
