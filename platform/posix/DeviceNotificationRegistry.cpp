#include "DeviceNotificationRegistry.h"

#include <cstring>

#include "DeviceFileObject.h"
#include "DeviceNamespace.h"
#include "HandleTable.h"
#include "platform/win32.h"

namespace {

// Recipient and registration values lie in a range of their own, away from
// kernel handle values, and are never reused.
constexpr uintptr_t kRecipientBase = 0x7E000000;
constexpr uintptr_t kRegistrationBase = 0x7D000000;

constexpr DWORD kKnownFlags = DEVICE_NOTIFY_SERVICE_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES;

}  // namespace

DeviceNotificationRegistry& DeviceNotificationRegistry::Instance() {
    static DeviceNotificationRegistry s_Instance;
    return s_Instance;
}

DWORD DeviceNotificationRegistry::PrivateFilterCheck(const void* pFilter, MachineDeviceNotification* pRegistration) {
    if (pFilter == nullptr)
        return ERROR_INVALID_PARAMETER;
    DEV_BROADCAST_HDR Header;
    std::memcpy(&Header, pFilter, sizeof(Header));
    pRegistration->DeviceType = Header.dbch_devicetype;
    pRegistration->FilterSize = Header.dbch_size;
    if (Header.dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        if (Header.dbch_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name))
            return ERROR_INVALID_DATA;
        std::memcpy(&pRegistration->ClassGuid,
                    static_cast<const uint8_t*>(pFilter) + offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_classguid),
                    sizeof(GUID));
        return ERROR_SUCCESS;
    }
    if (Header.dbch_devicetype == DBT_DEVTYP_HANDLE) {
        if (Header.dbch_size < offsetof(DEV_BROADCAST_HANDLE, dbch_eventguid))
            return ERROR_INVALID_DATA;
        HANDLE hDevice = nullptr;
        std::memcpy(&hDevice, static_cast<const uint8_t*>(pFilter) + offsetof(DEV_BROADCAST_HANDLE, dbch_handle),
                    sizeof(hDevice));
        auto pFile = HandleTable::Instance().Lookup<DeviceFileObject>(hDevice);
        if (pFile == nullptr)
            return ERROR_INVALID_HANDLE;
        pRegistration->hDevice = hDevice;
        pRegistration->DeviceName = pFile->DeviceNameGet();
        return ERROR_SUCCESS;
    }
    return ERROR_INVALID_DATA;
}

HDEVNOTIFY DeviceNotificationRegistry::Register(HANDLE hRecipient, const void* pFilter, DWORD Flags,
                                                DWORD* pdwError) {
    if ((Flags & ~kKnownFlags) != 0) {
        *pdwError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    MachineDeviceNotification Registration{};
    Registration.hRecipient = hRecipient;
    Registration.Flags = Flags;
    *pdwError = PrivateFilterCheck(pFilter, &Registration);
    if (*pdwError != ERROR_SUCCESS)
        return nullptr;

    const bool bWindow = (Flags & DEVICE_NOTIFY_SERVICE_HANDLE) == 0;
    std::lock_guard<std::mutex> Lock(m_Mutex);
    auto pRecipient = m_Recipients.find(reinterpret_cast<uintptr_t>(hRecipient));
    if (pRecipient == m_Recipients.end() || pRecipient->second.bWindow != bWindow) {
        *pdwError = bWindow ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_HANDLE;
        return nullptr;
    }
    Registration.hDevNotify = reinterpret_cast<HDEVNOTIFY>(kRegistrationBase + m_NextValue);
    m_NextValue += 0x10;
    m_Registrations.push_back(Registration);
    return Registration.hDevNotify;
}

bool DeviceNotificationRegistry::Unregister(HDEVNOTIFY hDevNotify) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    for (auto Entry = m_Registrations.begin(); Entry != m_Registrations.end(); ++Entry) {
        if (Entry->hDevNotify == hDevNotify) {
            m_Registrations.erase(Entry);
            return true;
        }
    }
    return false;
}

HANDLE DeviceNotificationRegistry::RecipientCreate(bool bWindow, MachineDeviceNoticeSink Sink) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    const uintptr_t Value = kRecipientBase + m_NextValue;
    m_NextValue += 0x10;
    m_Recipients[Value] = Recipient{bWindow, std::move(Sink)};
    return reinterpret_cast<HANDLE>(Value);
}

void DeviceNotificationRegistry::RecipientDestroy(HANDLE hRecipient) {
    MachineDeviceNoticeSink Sink;  // destroyed outside the lock
    std::lock_guard<std::mutex> Lock(m_Mutex);
    auto Entry = m_Recipients.find(reinterpret_cast<uintptr_t>(hRecipient));
    if (Entry != m_Recipients.end()) {
        Sink = std::move(Entry->second.Sink);
        m_Recipients.erase(Entry);
    }
}

std::vector<MachineDeviceNotification> DeviceNotificationRegistry::List() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Registrations;
}

std::vector<DeviceNotificationRegistry::Delivery> DeviceNotificationRegistry::PrivateDeliveries(DWORD DeviceType) {
    std::vector<Delivery> Deliveries;
    std::lock_guard<std::mutex> Lock(m_Mutex);
    for (const auto& Registration : m_Registrations) {
        if (Registration.DeviceType != DeviceType)
            continue;
        auto pRecipient = m_Recipients.find(reinterpret_cast<uintptr_t>(Registration.hRecipient));
        if (pRecipient != m_Recipients.end() && pRecipient->second.Sink)
            Deliveries.push_back(Delivery{Registration, pRecipient->second.Sink});
    }
    return Deliveries;
}

int DeviceNotificationRegistry::InterfaceNoticeSend(DWORD EventType, const GUID& ClassGuid,
                                                    const std::wstring& SymbolicLink) {
    // The record with the name behind it, as the system builds it.
    const size_t CountByte =
        offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (SymbolicLink.size() + 1) * sizeof(WCHAR);
    std::vector<uint64_t> Storage((CountByte + sizeof(uint64_t) - 1) / sizeof(uint64_t) + 1, 0);
    auto* pRecord = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(Storage.data());
    pRecord->dbcc_size = static_cast<DWORD>(CountByte);
    pRecord->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    pRecord->dbcc_classguid = ClassGuid;
    std::memcpy(pRecord->dbcc_name, SymbolicLink.c_str(), (SymbolicLink.size() + 1) * sizeof(WCHAR));

    int Delivered = 0;
    for (auto& Entry : PrivateDeliveries(DBT_DEVTYP_DEVICEINTERFACE)) {
        const bool bAllClasses = (Entry.Registration.Flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0;
        if (!bAllClasses && !(Entry.Registration.ClassGuid == ClassGuid))
            continue;
        Entry.Sink(EventType, reinterpret_cast<const DEV_BROADCAST_HDR*>(pRecord));
        ++Delivered;
    }
    return Delivered;
}

int DeviceNotificationRegistry::HandleNoticeSend(DWORD EventType, const std::wstring& DeviceName, bool* pbDenied) {
    if (pbDenied != nullptr)
        *pbDenied = false;
    const std::wstring Key = DeviceNamespace::NameKey(DeviceName);
    int Delivered = 0;
    for (auto& Entry : PrivateDeliveries(DBT_DEVTYP_HANDLE)) {
        if (DeviceNamespace::NameKey(Entry.Registration.DeviceName) != Key)
            continue;
        DEV_BROADCAST_HANDLE Record;
        std::memset(&Record, 0, sizeof(Record));
        Record.dbch_size = sizeof(Record);
        Record.dbch_devicetype = DBT_DEVTYP_HANDLE;
        Record.dbch_handle = Entry.Registration.hDevice;
        Record.dbch_hdevnotify = Entry.Registration.hDevNotify;
        Record.dbch_nameoffset = -1;
        const DWORD dwAnswer = Entry.Sink(EventType, reinterpret_cast<const DEV_BROADCAST_HDR*>(&Record));
        if (dwAnswer == BROADCAST_QUERY_DENY && pbDenied != nullptr)
            *pbDenied = true;
        ++Delivered;
    }
    return Delivered;
}

void DeviceNotificationRegistry::Clear() {
    std::map<uintptr_t, Recipient> Recipients;
    std::lock_guard<std::mutex> Lock(m_Mutex);
    Recipients.swap(m_Recipients);
    m_Registrations.clear();
}
