// The host's device notifications as the high-level API receives them: the
// API initialised for the indirect display driver on the simulated machine
// (with a notification recipient, and display devices of the driver's
// interface class, one stopped and one started, for the running check), then
// per input one OnPnPNotification with the input's first four bytes as the
// event type and the rest as the broadcast record. The record lies in a heap
// block of exactly its size, so a read past it is an AddressSanitizer
// report; its dbch_size is that size, as in the records Windows delivers
// (an input too short for dbch_size is left out, an empty one is passed as
// null). Both outputs must be set on every path.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "FuzzMachine.h"
#include "api/ALApiHighLevel.h"
#include "driver/ALDeviceControlIddCx.h"
#include "platform/machine.h"
#include "platform/setupapi.h"
#include "sim/SimIddCxDriver.h"
#include "support/ALDebugLog.h"

namespace {

const GUID kDisplayClass = {0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const DEVPROPKEY kDevNodeStatus = {{0x4340A6C5, 0x93FA, 0x4706, {0x97, 0x2C, 0x7B, 0x64, 0x80, 0x08, 0xA5, 0xA7}}, 2};

ALApiHighLevel* g_pApi = nullptr;

// A root display device with an interface of the driver's class, started or
// not (no driver).
void DisplayDeviceAdd(bool bStarted) {
    HDEVINFO hSet = SetupDiCreateDeviceInfoList(&kDisplayClass, nullptr);
    SP_DEVINFO_DATA Data{};
    Data.cbSize = sizeof(Data);
    FUZZ_CHECK(SetupDiCreateDeviceInfoW(hSet, L"DISPLAY", &kDisplayClass, nullptr, nullptr, DICD_GENERATE_ID, &Data));
    FUZZ_CHECK(SetupDiCallClassInstaller(DIF_REGISTERDEVICE, hSet, &Data));
    wchar_t InstanceId[64] = {};
    FUZZ_CHECK(SetupDiGetDeviceInstanceIdW(hSet, &Data, InstanceId, 64, nullptr));
    SetupDiDestroyDeviceInfoList(hSet);
    FUZZ_CHECK(!MachineDeviceInterfaceAdd(InstanceId, ALDeviceControlIddCx::InterfaceClassGuid).empty());
    if (!bStarted)
        return;
    const DWORD Status = DN_ROOT_ENUMERATED | DN_DRIVER_LOADED | DN_STARTED;
    std::vector<BYTE> Value(sizeof(Status));
    std::memcpy(Value.data(), &Status, sizeof(Status));
    FUZZ_CHECK(MachineDevicePropertySet(InstanceId, kDevNodeStatus, DEVPROP_TYPE_UINT32, Value));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzMachineDebugSet();
    MachineDeviceReset();
    MachineRegistryReset();
    MachineSetupReset();
    DisplayDeviceAdd(false);
    DisplayDeviceAdd(true);
    static std::shared_ptr<SimIddCxDriver> s_pDriver = SimIddCxDriver::Install();
    FUZZ_CHECK(s_pDriver != nullptr);
    g_pApi = new ALApiHighLevel;  // lives to the end of the process, as the library's does
    DebugLevelAL = 0xFF;
    const HANDLE hRecipient = MachineDeviceNoticeRecipientCreate(true, [](DWORD, const DEV_BROADCAST_HDR*) { return DWORD(0); });
    FUZZ_CHECK(g_pApi->PnPNotificationSubscribe(hRecipient, true));
    FUZZ_CHECK(g_pApi->Initialize(L"\\\\.\\NimboIndirectCtrlkorvaxHalden", NIMBO_API_TYPE_IDDCX_DRIVER));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t CountByte) {
    FuzzInput Input(pData, CountByte);
    const uint32_t EventType = Input.WordRead();
    const size_t CountByteRecord = Input.RemainingGet();
    if (CountByteRecord > 0 && CountByteRecord < sizeof(DWORD))
        return -1;  // not a record a host can receive; kept out of the corpus
    std::unique_ptr<uint8_t[]> pRecord;
    if (CountByteRecord > 0) {
        pRecord.reset(new uint8_t[CountByteRecord]);
        Input.BytesRead(pRecord.get(), CountByteRecord);
        const DWORD Size = static_cast<DWORD>(CountByteRecord);
        std::memcpy(pRecord.get() + offsetof(DEV_BROADCAST_HDR, dbch_size), &Size, sizeof(Size));
    }
    bool bIsOwnDeviceRemoval = true;
    bool bIsDriverRunning = true;
    g_pApi->OnPnPNotification(EventType, reinterpret_cast<PDEV_BROADCAST_HDR>(pRecord.get()), &bIsOwnDeviceRemoval,
                              &bIsDriverRunning);
    // Only an arrival can report a running driver, only a removal notice the own device.
    FUZZ_CHECK(!bIsDriverRunning || EventType == DBT_DEVICEARRIVAL);
    FUZZ_CHECK(!bIsOwnDeviceRemoval || EventType == DBT_DEVICEQUERYREMOVE || EventType == DBT_DEVICEREMOVEPENDING);
    return 0;
}
