#include "SimMonitorDescription.h"

#include <cstring>

namespace {

uint32_t U32At(const uint8_t* pRecord, size_t Offset) {
    uint32_t Value;
    std::memcpy(&Value, pRecord + Offset, sizeof(Value));
    return Value;
}

}  // namespace

DWORD SimMonitorDescription::Parse(const uint8_t* pRecord, DWORD CountByteRecord,
                                   SimMonitorDescription* pDescription) {
    if (pRecord == nullptr || CountByteRecord < CountByteHeader)
        return ERROR_INSUFFICIENT_BUFFER;
    const uint32_t CountModes = U32At(pRecord, 16);
    if (CountModes == 0)
        return ERROR_INVALID_PARAMETER;
    if (CountModes > (CountByteRecord - CountByteHeader) / CountByteMode)
        return ERROR_INSUFFICIENT_BUFFER;
    SimMonitorDescription Description;
    Description.AdapterIndex = U32At(pRecord, 0);
    Description.MonitorIndex = U32At(pRecord, 4);
    for (uint32_t Index = 0; Index < CountModes; ++Index) {
        const size_t Offset = CountByteHeader + static_cast<size_t>(Index) * CountByteMode;
        Description.Modes.push_back(SimMonitorMode{U32At(pRecord, Offset), U32At(pRecord, Offset + 4),
                                                   U32At(pRecord, Offset + 8), U32At(pRecord, Offset + 12)});
    }
    const SimMonitorMode& First = Description.Modes[0];
    if (First.Width == 0 || First.Height == 0 || First.Width > ExtentMaximum || First.Height > ExtentMaximum)
        return ERROR_INVALID_PARAMETER;
    Description.Record.assign(pRecord, pRecord + CountByteRecord);
    *pDescription = std::move(Description);
    return ERROR_SUCCESS;
}
