#include "api/ALApiHighLevel.h"

#include <cstddef>
#include <cwchar>
#include <string>

#include "api/ALMonitorSettings.h"
#include "driver/ALDriverDeviceEnumerator.h"
#include "hook/ALThreadFrameBufferBase.h"
#include "interface/INimboApiDisplayMonitorInstance.h"
#include "support/ALDebugLog.h"

namespace {
// Constructed while the library loads, destroyed when it unloads.
ALApiHighLevel ApiHighLevel;

// Scoped ownership of the API's critical section.
class ALApiLock {
public:
    explicit ALApiLock(CRITICAL_SECTION* pCriticalSection) : m_pCriticalSection(pCriticalSection) {
        EnterCriticalSection(m_pCriticalSection);
    }
    ~ALApiLock() { LeaveCriticalSection(m_pCriticalSection); }
    ALApiLock(const ALApiLock&) = delete;
    ALApiLock& operator=(const ALApiLock&) = delete;

private:
    CRITICAL_SECTION* m_pCriticalSection;
};
}  // namespace

INimboApi* NimboApiGet() { return &ApiHighLevel; }

ALApiHighLevel::ALApiHighLevel()
    : m_ApiType(0),
      m_hPnPNotificationRecipient(INVALID_HANDLE_VALUE),
      m_bPnPNotificationRecipientIsWindow(false),
      m_hModuleHold(nullptr) {
    ALDebugLevelRead();
    ALDebugHeaderPrint();
    InitializeCriticalSection(&m_CriticalSection);
}

void ALApiHighLevel::PrivateModuleHoldTake() {
    if (m_hModuleHold != nullptr)
        return;
    // Any address inside this module names it.
    static const char ModuleMark = 0;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ModuleMark),
                            &m_hModuleHold)) {
        m_hModuleHold = nullptr;
        ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::PrivateModuleHoldTake GetModuleHandleExW failed! LastError %d\n",
                     static_cast<int>(GetLastError()));
    }
}

void ALApiHighLevel::PrivateModuleHoldRelease() {
    if (m_hModuleHold == nullptr)
        return;
    FreeLibrary(m_hModuleHold);
    m_hModuleHold = nullptr;
}

ALApiHighLevel::~ALApiHighLevel() {
    // A host that unloads the library without Uninitialize would otherwise
    // leave frame-buffer threads running against members that are about to
    // be destroyed (and, on a process exit, while static storage goes away).
    // They are ended and their monitors unplugged, as Uninitialize would.
    if (ListFrameBufferThreads.ThreadCountGet() != 0) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::~ALApiHighLevel threads still running, ending them\n");
        ListFrameBufferThreads.TerminateAll(true);
    }
    // A reference still held is not given back here: this runs while the
    // module itself goes away, where giving it back is not allowed.
    DeleteCriticalSection(&m_CriticalSection);
}

bool ALApiHighLevel::Initialize(LPCWSTR DeviceControlName, int ApiType) {
    const std::wstring DevicePath = DeviceControlName != nullptr ? DeviceControlName : L"";
    if (ApiType == NIMBO_API_TYPE_HOOK_DRIVER) {
        if (!m_DeviceControlHookDriver.Create(DevicePath)) {
            ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::Initialize failed! Hook driver not available");
            return false;
        }
        m_ApiType = NIMBO_API_TYPE_HOOK_DRIVER;
        return true;
    }
    if (ApiType == NIMBO_API_TYPE_IDDCX_DRIVER) {
        if (!m_DeviceControlIddCxDriver.Create(DevicePath)) {
            ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::Initialize failed! IddCx driver not available");
            return false;
        }
        m_DeviceControlIddCxDriver.PnPNotificationRemovalSubscribe(m_hPnPNotificationRecipient,
                                                                   m_bPnPNotificationRecipientIsWindow);
        m_ApiType = NIMBO_API_TYPE_IDDCX_DRIVER;
        return true;
    }
    ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::Initialize failed! Unknown API Type:%d\n", ApiType);
    return false;
}

void ALApiHighLevel::Uninitialize(bool bUnplug) {
    ListFrameBufferThreads.TerminateAll(bUnplug);
    PrivateModuleHoldRelease();
    m_DeviceControlHookDriver.Destroy();
    m_DeviceControlIddCxDriver.Destroy();
}

bool ALApiHighLevel::PrivateMonitorIndexChoose(uint32_t StoredIndex, uint32_t MonitorCount, int* pMonitorIndex) {
    uint32_t MonitorIndex = StoredIndex;
    if (!ListFrameBufferThreads.MonitorIndexIsAvailable(static_cast<int>(MonitorIndex))) {
        MonitorIndex = 0;
        while (!ListFrameBufferThreads.MonitorIndexIsAvailable(static_cast<int>(MonitorIndex)))
            ++MonitorIndex;
    }
    if (MonitorIndex >= MonitorCount) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::DisplayMonitorPlug failed! MenuSettings.MonitorIndex (%d) >= 3\n",
                     static_cast<int>(MonitorIndex));
        return false;
    }
    *pMonitorIndex = static_cast<int>(MonitorIndex);
    return true;
}

bool ALApiHighLevel::PrivateThreadStart(INimboApiDisplayMonitorInstance* pHardware, int MonitorIndex) {
    ALThreadFrameBufferBase* pThreadFrameBuffer =
        ListFrameBufferThreads.GetNextAvailable(&m_DeviceControlHookDriver, &m_DeviceControlIddCxDriver, m_ApiType);
    if (pThreadFrameBuffer == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALApiHighLevel::DisplayMonitorPlug ListFrameBufferThreads.GetNextAvailable (1) failed!\n");
        return false;
    }
    if (!pThreadFrameBuffer->Start(pHardware, MonitorIndex)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::DisplayMonitorPlug pThreadFrameBuffer->Start failed!\n");
        return false;
    }
    ListFrameBufferThreads.MonitorDescriptionRemove(MonitorIndex);
    PrivateModuleHoldTake();
    return true;
}

bool ALApiHighLevel::DisplayMonitorPlug(INimboApiDisplayMonitorInstance* pHardware) {
    if (pHardware == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::DisplayMonitorPlug failed! NULL == pHardware\n");
        return false;
    }
    const uint32_t MonitorCount = ALMonitorSettings::MonitorCountRead(m_ApiType);
    // Asked once: from a successful start on the thread owns the instance and
    // may delete it at any moment, so it is not called again here.
    const std::wstring InstanceId = pHardware->InstanceIdGet();
    const uint32_t StoredIndex = ALMonitorSettings::MenuItemReadFromRegistry(InstanceId);
    int MonitorIndex = 0;
    {
        ALApiLock Lock(&m_CriticalSection);
        if (!PrivateMonitorIndexChoose(StoredIndex, MonitorCount, &MonitorIndex))
            return false;
        if (!PrivateThreadStart(pHardware, MonitorIndex))
            return false;
    }
    if (!ALMonitorSettings::MenuItemSaveToRegistry(InstanceId, MonitorIndex))
        ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::DisplayMonitorPlug MenuItemSaveToRegistry failed!\n");
    return true;
}

void ALApiHighLevel::DisplayMonitorUnplug(INimboApiDisplayMonitorInstance* pHardware, bool bUnplug) {
    ALApiLock Lock(&m_CriticalSection);
    ListFrameBufferThreads.TerminateByDeviceHandle(pHardware, bUnplug);
}

void ALApiHighLevel::MonitorUnplugMissingUponPowerResume() {
    ALApiLock Lock(&m_CriticalSection);
    ListFrameBufferThreads.MonitorUnplugMissingUponPowerResume(&m_DeviceControlHookDriver,
                                                               &m_DeviceControlIddCxDriver, m_ApiType);
}

void ALApiHighLevel::DisplayConfigurationReset() { ALMonitorSettings::DisplayConfigurationReset(); }

INimboApiDisplayMonitorInstance* ALApiHighLevel::DisplayMonitorAssignmentEnumerate(uint32_t EnumIdx, int* targetId,
                                                                                   int* VideoPresentTargetId,
                                                                                   LUID* adapterLuid) {
    ALApiLock Lock(&m_CriticalSection);
    INimboApiDisplayMonitorInstance* pHardware =
        ListFrameBufferThreads.HardwareClientCustomInstanceEnumerate(EnumIdx, targetId, VideoPresentTargetId,
                                                                     adapterLuid);
    if (pHardware == nullptr)
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALApiHighLevel::DisplayMonitorAssignmentEnumerate HardwareClientCustomInstanceEnumerate "
                     L"failed! EnumIdx:%d\n",
                     static_cast<int>(EnumIdx));
    return pHardware;
}

bool ALApiHighLevel::PnPNotificationSubscribe(HANDLE hRecipient, bool bRecipientIsWindow) {
    if (!m_DeviceControlIddCxDriver.PnPNotificationArrivalSubscribe(hRecipient, bRecipientIsWindow)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::PnPNotificationSubscribe "
                                     L"m_DeviceControlIddCxDriver.PnPNotificationArrivalSubscribe failed!\n");
        return false;
    }
    m_hPnPNotificationRecipient = hRecipient;
    m_bPnPNotificationRecipientIsWindow = bRecipientIsWindow;
    return true;
}

namespace {
// The record's claimed size covers at least Bytes; the host's record is
// never read beyond what it claims.
bool RecordCovers(PDEV_BROADCAST_HDR lpEventData, size_t Bytes) { return lpEventData->dbch_size >= Bytes; }

void RecordMalformedLog(PDEV_BROADCAST_HDR lpEventData) {
    ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::OnPnPNotification failed! Malformed record, dbch_size:%u\n",
                 static_cast<unsigned>(lpEventData->dbch_size));
}
}  // namespace

bool ALApiHighLevel::PrivateDriverDeviceRunning() {
    ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid,
                                        DIGCF_DEVICEINTERFACE | DIGCF_PRESENT);
    bool bIsRunning = false;
    for (uint32_t MemberIndex = 0; Enumerator.Enumerate(MemberIndex, bIsRunning); ++MemberIndex) {
        if (bIsRunning)
            return true;
    }
    return false;
}

bool ALApiHighLevel::PrivateDeviceArrival(PDEV_BROADCAST_HDR lpEventData, bool* pbIsDriverRunning) {
    ALDebugPrint(AL_DEBUG_PNP, L"DBT_DEVICEARRIVAL\n");
    if (!RecordCovers(lpEventData, sizeof(DEV_BROADCAST_HDR))) {
        RecordMalformedLog(lpEventData);
        return false;
    }
    if (lpEventData->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return true;
    // The name runs from its offset to the end of the claimed record and
    // must be terminated inside it.
    constexpr size_t NameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (!RecordCovers(lpEventData, NameOffset + sizeof(WCHAR))) {
        RecordMalformedLog(lpEventData);
        return false;
    }
    const auto* pInterface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lpEventData);
    const size_t NameUnits = (lpEventData->dbch_size - NameOffset) / sizeof(WCHAR);
    const size_t NameLength = wcsnlen(pInterface->dbcc_name, NameUnits);
    if (NameLength == NameUnits) {
        RecordMalformedLog(lpEventData);
        return false;
    }
    ALDebugPrint(AL_DEBUG_PNP, L"  %s\n", pInterface->dbcc_name);
    *pbIsDriverRunning = PrivateDriverDeviceRunning();
    return true;
}

bool ALApiHighLevel::PrivateDeviceRemoval(const wchar_t* pEventName, PDEV_BROADCAST_HDR lpEventData,
                                          bool* pbIsOwnDeviceRemoval) {
    ALDebugPrint(AL_DEBUG_PNP, L"%s\n", pEventName);
    if (!RecordCovers(lpEventData, sizeof(DEV_BROADCAST_HDR))) {
        RecordMalformedLog(lpEventData);
        return false;
    }
    if (lpEventData->dbch_devicetype != DBT_DEVTYP_HANDLE)
        return true;
    // Read through the record's own layout: the handle sits at byte 12 on
    // 32-bit builds and at byte 16 on 64-bit ones.
    if (!RecordCovers(lpEventData, offsetof(DEV_BROADCAST_HANDLE, dbch_handle) + sizeof(HANDLE))) {
        RecordMalformedLog(lpEventData);
        return false;
    }
    const auto* pHandleRecord = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(lpEventData);
    *pbIsOwnDeviceRemoval = m_DeviceControlIddCxDriver.OnPnPNotificationDeviceRemoval(pHandleRecord->dbch_handle);
    return true;
}

bool ALApiHighLevel::OnPnPNotification(uint32_t EventType, PDEV_BROADCAST_HDR lpEventData,
                                       bool* pbIsOwnDeviceRemoval, bool* pbIsDriverRunning) {
    // Outputs the host did not give are written to locals.
    bool bIsOwnDeviceRemoval = false;
    bool bIsDriverRunning = false;
    if (pbIsOwnDeviceRemoval == nullptr)
        pbIsOwnDeviceRemoval = &bIsOwnDeviceRemoval;
    if (pbIsDriverRunning == nullptr)
        pbIsDriverRunning = &bIsDriverRunning;
    *pbIsOwnDeviceRemoval = false;
    *pbIsDriverRunning = false;
    if (m_ApiType == NIMBO_API_TYPE_HOOK_DRIVER) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALApiHighLevel::OnPnPNotification failed! Unsupported in NIMBO_API_TYPE_HOOK_DRIVER...\n");
        return false;
    }
    if (lpEventData == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::OnPnPNotification failed! NULL == lpEventData\n");
        return false;
    }
    // A record that claims less than its device type needs is refused.
    switch (EventType) {
    case DBT_DEVICEARRIVAL:
        return PrivateDeviceArrival(lpEventData, pbIsDriverRunning);
    case DBT_DEVICEQUERYREMOVE:
        return PrivateDeviceRemoval(L"DBT_DEVICEQUERYREMOVE", lpEventData, pbIsOwnDeviceRemoval);
    case DBT_DEVICEREMOVEPENDING:
        return PrivateDeviceRemoval(L"DBT_DEVICEREMOVEPENDING", lpEventData, pbIsOwnDeviceRemoval);
    case DBT_DEVICEQUERYREMOVEFAILED:
        ALDebugPrint(AL_DEBUG_ERROR | AL_DEBUG_PNP, L"DBT_DEVICEQUERYREMOVEFAILED\n");
        break;
    case DBT_DEVICEREMOVECOMPLETE:
        ALDebugPrint(AL_DEBUG_PNP, L"DBT_DEVICEREMOVECOMPLETE\n");
        break;
    default:
        ALDebugPrint(AL_DEBUG_PNP, L"UNKNOWN EventType:0x%x\n", EventType);
        break;
    }
    return true;
}

bool ALApiHighLevel::IsInitializationNeeded(int ApiType) {
    if (ApiType == NIMBO_API_TYPE_IDDCX_DRIVER)
        return false;
    for (uint32_t AdapterIndex = 0;; ++AdapterIndex) {
        uint32_t IsActive = 0;
        if (!m_DeviceControlHookDriver.IoctlHookDriverAdapterIsActive(AdapterIndex, &IsActive)) {
            ALDebugPrint(AL_DEBUG_ERROR, L"ALApiHighLevel::IsInitializationNeeded IoctlHookDriverAdapterIsActive "
                                         L"failed! No active adapter found\n");
            return true;
        }
        if (IsActive != 0)
            return false;
    }
}
