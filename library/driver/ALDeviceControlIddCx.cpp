#include "driver/ALDeviceControlIddCx.h"

#include <cstring>

#include "driver/ALIoctlCode.h"
#include "support/ALDebugLog.h"

namespace {

uint32_t RecordMonitorIndex(const void* pRecord, uint32_t CountByteRecord) {
    uint32_t MonitorIndex = 0;
    if (pRecord != nullptr && CountByteRecord >= 2 * sizeof(uint32_t))
        std::memcpy(&MonitorIndex, static_cast<const uint8_t*>(pRecord) + sizeof(uint32_t), sizeof(MonitorIndex));
    return MonitorIndex;
}

DWORD NotifyFlags(bool bRecipientIsWindow) {
    return bRecipientIsWindow ? DEVICE_NOTIFY_WINDOW_HANDLE : DEVICE_NOTIFY_SERVICE_HANDLE;
}

unsigned int HandleLog(HANDLE hHandle) {
    return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(hHandle));
}

}  // namespace

ALDeviceControlIddCx::ALDeviceControlIddCx() : m_hDevNotifyRemoval(nullptr), m_hDevNotifyArrival(nullptr) {}

ALDeviceControlIddCx::~ALDeviceControlIddCx() {
    if (m_hDevNotifyArrival != nullptr) {
        if (!UnregisterDeviceNotification(m_hDevNotifyArrival))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALDeviceControlIddCx::~ALDeviceControlIddCx UnregisterDeviceNotification failed! "
                         L"GetLastError: %d\n",
                         GetLastError());
        m_hDevNotifyArrival = nullptr;
    }
    // A removal registration left by a missing Destroy names a handle that
    // the base is about to close; it must not outlive it.
    if (m_hDevNotifyRemoval != nullptr) {
        UnregisterDeviceNotification(m_hDevNotifyRemoval);
        m_hDevNotifyRemoval = nullptr;
    }
}

bool ALDeviceControlIddCx::PrivateControl(uint32_t Code, const void* pInput, uint32_t CountByteInput,
                                          void* pOutput, uint32_t CountByteOutput, DWORD* pBytesReturned) {
    DWORD BytesReturned = 0;
    return DeviceIoControl(HandleGet(), Code, const_cast<void*>(pInput), CountByteInput, pOutput,
                           CountByteOutput, pBytesReturned != nullptr ? pBytesReturned : &BytesReturned,
                           nullptr) != FALSE;
}

bool ALDeviceControlIddCx::Create(const std::wstring& DevicePath) {
    // An open device (introduced or not) stays as it is, silently, until
    // Destroy closes it.
    if (IsOpen())
        return false;
    if (!ALDeviceBase::Create(DevicePath)) {
        ALDebugPrint(AL_DEBUG_ERROR, L" ALDeviceControlIddCx::Create failed! IddCx driver not available");
        return false;
    }
    bool bIntroduced = false;
    PrivateProcessIntroduce(&bIntroduced);
    return bIntroduced;
}

void ALDeviceControlIddCx::PrivateProcessIntroduce(bool* pbIntroduced) {
    // The driver opens this process by id while it handles the introduction;
    // for that one request the process object carries a null DACL.
    PACL pDacl = nullptr;
    PACL pSacl = nullptr;
    PSECURITY_DESCRIPTOR pOldSecurityDescriptor = nullptr;
    // GetSecurityInfo and SetSecurityInfo report their error as the result.
    DWORD dwResult = GetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                     nullptr, &pDacl, &pSacl, &pOldSecurityDescriptor);
    if (dwResult != ERROR_SUCCESS) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALDeviceControlIddCx::Create GetSecurityInfo failed! GetLastError: %d\n",
                     dwResult);
        pOldSecurityDescriptor = nullptr;
    } else {
        dwResult = SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, nullptr, nullptr);
        if (dwResult != ERROR_SUCCESS)
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALDeviceControlIddCx::Create SetSecurityInfo (1) failed! GetLastError: %d\n", dwResult);
    }

    *pbIntroduced = PrivateIoctlProcessApplicationHandleSet();
    if (!*pbIntroduced)
        ALDebugPrint(AL_DEBUG_ERROR, L"ALDeviceControlIddCx::Create PrivateIoctlProcessApplicationHandleSet failed!\n");

    if (pOldSecurityDescriptor != nullptr) {
        dwResult = SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, pDacl, pSacl);
        if (dwResult != ERROR_SUCCESS)
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALDeviceControlIddCx::Create SetSecurityInfo (2) failed! GetLastError: %d\n", dwResult);
        LocalFree(pOldSecurityDescriptor);
    }
}

bool ALDeviceControlIddCx::Destroy() {
    if (m_hDevNotifyRemoval != nullptr) {
        if (!UnregisterDeviceNotification(m_hDevNotifyRemoval))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALDeviceControlIddCx::Destroy UnregisterDeviceNotification failed! GetLastError: %d\n",
                         GetLastError());
        m_hDevNotifyRemoval = nullptr;
    }
    if (!ALDeviceBase::Destroy()) {
        ALDebugPrint(AL_DEBUG_ERROR, L" ALDeviceControlIddCx::Destroy failed!");
        return false;
    }
    return true;
}

bool ALDeviceControlIddCx::IoctlMonitorPlug(void* pPlugRecord, uint32_t CountBytePlugRecord,
                                            MonitorPlugInfoOut* pPlugInfo) {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlIddCx::IoctlMonitorPlug m_MonitorIndex %d\n",
                 RecordMonitorIndex(pPlugRecord, CountBytePlugRecord));
    if (PrivateControl(ALIoctlCode::MonitorPlug, pPlugRecord, CountBytePlugRecord, pPlugInfo,
                       pPlugInfo != nullptr ? sizeof(MonitorPlugInfoOut) : 0))
        return true;
    const DWORD dwError = GetLastError();
    if (dwError == ERROR_ALREADY_EXISTS)
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlIddCx::IoctlMonitorPlug DeviceIoControl failed! GetLastErrorReturned: %d\n", dwError);
    return false;
}

bool ALDeviceControlIddCx::IoctlMonitorUnplug(uint32_t MonitorIndex) {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlIddCx::IoctlMonitorUnplug m_MonitorIndex %d\n",
                 MonitorIndex);
    if (PrivateControl(ALIoctlCode::MonitorUnplug, &MonitorIndex, sizeof(MonitorIndex), nullptr, 0))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlIddCx::IoctlMonitorUnplug DeviceIoControl failed! GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlIddCx::IoctlMonitorFrameBufferEventsSubscribe(uint32_t MonitorIndex,
                                                                  MonitorFrameBufferEventsInfo* pEventsInfo) {
    if (pEventsInfo != nullptr)
        *pEventsInfo = MonitorFrameBufferEventsInfo{};
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL,
                 L"ALDeviceControlIddCx::IoctlMonitorFrameBufferEventsSubscribe m_MonitorIndex %d\n", MonitorIndex);
    if (PrivateControl(ALIoctlCode::MonitorFrameBufferEventsSubscribe, &MonitorIndex, sizeof(MonitorIndex),
                       pEventsInfo, pEventsInfo != nullptr ? sizeof(MonitorFrameBufferEventsInfo) : 0))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlIddCx::IoctlMonitorFrameBufferEventsSubscribe DeviceIoControl failed! "
                 L"GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlIddCx::IoctlMonitorSwapchainEventsRetrieve(uint32_t MonitorIndex, MonitorSwapchainEvent* pEvent) {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL,
                 L"ALDeviceControlIddCx::IoctlMonitorSwpachainEventRetrieve m_MonitorIndex %d\n", MonitorIndex);
    if (PrivateControl(ALIoctlCode::MonitorSwapchainEventsRetrieve, &MonitorIndex, sizeof(MonitorIndex), pEvent,
                       pEvent != nullptr ? sizeof(MonitorSwapchainEvent) : 0))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlIddCx::IoctlMonitorSwapchainEventsRetrieve DeviceIoControl failed! "
                 L"GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlIddCx::IoctlMonitorFrameBufferDirectXAcquire(uint32_t MonitorIndex, DirectXData* pDirectXData,
                                                                 DWORD* pBytesReturned) {
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL,
                 L"ALDeviceControlIddCx::IoctlMonitorFrameBufferDirectXAcquire MonitorIndex %d\n", MonitorIndex);
    if (PrivateControl(ALIoctlCode::MonitorFrameBufferDirectXAcquire, &MonitorIndex, sizeof(MonitorIndex),
                       pDirectXData, pDirectXData != nullptr ? sizeof(DirectXData) : 0, pBytesReturned))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlIddCx::IoctlMonitorFrameBufferDirectXAcquire DeviceIoControl failed! "
                 L"GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlIddCx::IoctlMonitorPersistOnClose(bool bEnable) {
    const uint32_t dwEnablePersist = bEnable == true ? 1 : 0;
    ALDebugPrint(AL_DEBUG_DRIVER_CONTROL, L"ALDeviceControlIddCx::IoctlMonitorPersistOnClose\n");
    if (PrivateControl(ALIoctlCode::MonitorPersistOnClose, &dwEnablePersist, sizeof(dwEnablePersist), nullptr, 0))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlIddCx::IoctlMonitorPersistOnClose DeviceIoControl failed! GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlIddCx::PrivateIoctlProcessApplicationHandleSet() {
    const uint32_t dwProcessId = GetCurrentProcessId();
    if (PrivateControl(ALIoctlCode::ProcessApplicationHandleSet, &dwProcessId, sizeof(dwProcessId), nullptr, 0))
        return true;
    ALDebugPrint(AL_DEBUG_ERROR,
                 L"ALDeviceControlIddCx::PrivateIoctlProcessApplicationHandleSet DeviceIoControl failed! "
                 L"GetLastErrorReturned: %d\n",
                 GetLastError());
    return false;
}

bool ALDeviceControlIddCx::PnPNotificationArrivalSubscribe(HANDLE hRecipient, bool bRecipientIsWindow) {
    if (m_hDevNotifyArrival != nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALDeviceControlIddCx::PnPNotificationArrivalSubscribe already subscribed!");
        return false;
    }
    DEV_BROADCAST_DEVICEINTERFACE_W DevBroadcastDeviceInterface;
    std::memset(&DevBroadcastDeviceInterface, 0, sizeof(DevBroadcastDeviceInterface));
    DevBroadcastDeviceInterface.dbcc_size = sizeof(DevBroadcastDeviceInterface);
    DevBroadcastDeviceInterface.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    DevBroadcastDeviceInterface.dbcc_classguid = InterfaceClassGuid;
    m_hDevNotifyArrival =
        RegisterDeviceNotificationW(hRecipient, &DevBroadcastDeviceInterface, NotifyFlags(bRecipientIsWindow));
    if (m_hDevNotifyArrival == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALDeviceControlIddCx::PnPNotificationArrivalSubscribe RegisterDeviceNotification failed! %d\n",
                     GetLastError());
        return false;
    }
    return true;
}

bool ALDeviceControlIddCx::PnPNotificationRemovalSubscribe(HANDLE hRecipient, bool bRecipientIsWindow) {
    if (m_hDevNotifyRemoval != nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALDeviceControlIddCx::PnPNotificationRemovalSubscribe already subscribed!");
        return false;
    }
    DEV_BROADCAST_HANDLE DevBroadcastHandle;
    std::memset(&DevBroadcastHandle, 0, sizeof(DevBroadcastHandle));
    DevBroadcastHandle.dbch_size = sizeof(DevBroadcastHandle);
    DevBroadcastHandle.dbch_devicetype = DBT_DEVTYP_HANDLE;
    DevBroadcastHandle.dbch_handle = HandleGet();
    m_hDevNotifyRemoval = RegisterDeviceNotificationW(hRecipient, &DevBroadcastHandle, NotifyFlags(bRecipientIsWindow));
    if (m_hDevNotifyRemoval == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALDeviceControlIddCx::PnPNotificationRemovalSubscribe RegisterDeviceNotification failed %d",
                     GetLastError());
        return false;
    }
    return true;
}

bool ALDeviceControlIddCx::OnPnPNotificationDeviceRemoval(HANDLE hNotified) {
    if (hNotified == HandleGet())
        return true;
    ALDebugPrint(AL_DEBUG_ERROR, L"ALDeviceControlIddCx::OnPnPNotificationDeviceRemoval failed! 0x%x != 0x%x (own)",
                 HandleLog(hNotified), HandleLog(HandleGet()));
    return false;
}
