// Device notifications of the simulated platform: registration checks, the
// record of registrations, and delivery of interface and handle notices to
// the recipients the machine knows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "SimulatedMachine.h"

namespace {

const GUID kClassA = {0x017F0AC2, 0xA4DE, 0x4694, {0xAB, 0xAD, 0xAC, 0xC3, 0xE0, 0xA1, 0x59, 0xD3}};
const GUID kClassB = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class NullDriver : public MachineDeviceDriver {
public:
    DWORD DeviceFileControl(uint64_t, DWORD, const void*, DWORD, void*, DWORD, DWORD*) override {
        return ERROR_SUCCESS;
    }
};

struct Notice {
    DWORD EventType;
    DWORD DeviceType;
    GUID ClassGuid;
    std::wstring Name;
    HANDLE hDevice;
    HDEVNOTIFY hDevNotify;
};

class DeviceNotificationTest : public SimulatedMachineTest {
protected:
    HANDLE RecipientCreate(bool bWindow, std::vector<Notice>* pNotices, DWORD Answer = TRUE) {
        return MachineDeviceNoticeRecipientCreate(bWindow, [pNotices, Answer](DWORD EventType,
                                                                              const DEV_BROADCAST_HDR* pHeader) {
            Notice Seen{EventType, pHeader->dbch_devicetype, {}, L"", nullptr, nullptr};
            if (pHeader->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
                const auto* pInterface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(pHeader);
                Seen.ClassGuid = pInterface->dbcc_classguid;
                Seen.Name = pInterface->dbcc_name;
            } else if (pHeader->dbch_devicetype == DBT_DEVTYP_HANDLE) {
                const auto* pHandle = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(pHeader);
                Seen.hDevice = pHandle->dbch_handle;
                Seen.hDevNotify = pHandle->dbch_hdevnotify;
            }
            pNotices->push_back(Seen);
            return Answer;
        });
    }
    static DEV_BROADCAST_DEVICEINTERFACE_W InterfaceFilter(const GUID& ClassGuid) {
        DEV_BROADCAST_DEVICEINTERFACE_W Filter;
        std::memset(&Filter, 0, sizeof(Filter));
        Filter.dbcc_size = sizeof(Filter);
        Filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        Filter.dbcc_classguid = ClassGuid;
        return Filter;
    }
    static DEV_BROADCAST_HANDLE HandleFilter(HANDLE hDevice) {
        DEV_BROADCAST_HANDLE Filter;
        std::memset(&Filter, 0, sizeof(Filter));
        Filter.dbch_size = sizeof(Filter);
        Filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
        Filter.dbch_handle = hDevice;
        return Filter;
    }
};

struct RefusedCase {
    const char* pName;
    int Recipient;  // 0 known window, 1 known service, 2 unknown value, 3 INVALID_HANDLE_VALUE
    DWORD Flags;
    int Filter;     // 0 interface, 1 handle of an event, 2 unknown type, 3 short interface, 4 null
    DWORD dwError;
};

const RefusedCase kRefusedCases[] = {
    {"UnknownWindow", 2, DEVICE_NOTIFY_WINDOW_HANDLE, 0, ERROR_INVALID_WINDOW_HANDLE},
    {"ServiceFlagNeverSubscribed", 3, DEVICE_NOTIFY_SERVICE_HANDLE, 0, ERROR_INVALID_HANDLE},
    {"WindowGivenAsService", 0, DEVICE_NOTIFY_SERVICE_HANDLE, 0, ERROR_INVALID_HANDLE},
    {"ServiceGivenAsWindow", 1, DEVICE_NOTIFY_WINDOW_HANDLE, 0, ERROR_INVALID_WINDOW_HANDLE},
    {"HandleFilterWithoutDevice", 0, DEVICE_NOTIFY_WINDOW_HANDLE, 1, ERROR_INVALID_HANDLE},
    {"UnknownDeviceType", 0, DEVICE_NOTIFY_WINDOW_HANDLE, 2, ERROR_INVALID_DATA},
    {"ShortFilter", 0, DEVICE_NOTIFY_WINDOW_HANDLE, 3, ERROR_INVALID_DATA},
    {"NoFilter", 0, DEVICE_NOTIFY_WINDOW_HANDLE, 4, ERROR_INVALID_PARAMETER},
    {"UnknownFlag", 0, 0x10, 0, ERROR_INVALID_PARAMETER},
};

class DeviceNotificationRefusedTest : public DeviceNotificationTest,
                                      public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(DeviceNotificationRefusedTest, RegistrationFailsWithItsError) {
    const RefusedCase& Case = GetParam();
    std::vector<Notice> Notices;
    const HANDLE Recipients[4] = {RecipientCreate(true, &Notices), RecipientCreate(false, &Notices),
                                  reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x4444)), INVALID_HANDLE_VALUE};
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto Interface = InterfaceFilter(kClassA);
    auto Handle = HandleFilter(hEvent);
    auto Unknown = InterfaceFilter(kClassA);
    Unknown.dbcc_devicetype = DBT_DEVTYP_VOLUME;
    auto Short = InterfaceFilter(kClassA);
    Short.dbcc_size = 20;
    void* const Filters[5] = {&Interface, &Handle, &Unknown, &Short, nullptr};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegisterDeviceNotificationW(Recipients[Case.Recipient], Filters[Case.Filter], Case.Flags), nullptr);
    EXPECT_EQ(GetLastError(), Case.dwError);
    EXPECT_TRUE(MachineDeviceNotificationList().empty());
    CloseHandle(hEvent);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeviceNotificationRefusedTest, ::testing::ValuesIn(kRefusedCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(DeviceNotificationTest, ArrivalReachesTheRegistrationsOfTheClassWithTheName) {
    std::vector<Notice> NoticesA, NoticesB, NoticesAll;
    auto FilterA = InterfaceFilter(kClassA);
    auto FilterB = InterfaceFilter(kClassB);
    HDEVNOTIFY hA = RegisterDeviceNotificationW(RecipientCreate(true, &NoticesA), &FilterA, DEVICE_NOTIFY_WINDOW_HANDLE);
    HDEVNOTIFY hB = RegisterDeviceNotificationW(RecipientCreate(false, &NoticesB), &FilterB, DEVICE_NOTIFY_SERVICE_HANDLE);
    HDEVNOTIFY hAll = RegisterDeviceNotificationW(RecipientCreate(true, &NoticesAll), &FilterB,
                                                  DEVICE_NOTIFY_WINDOW_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
    ASSERT_NE(hA, nullptr);
    ASSERT_NE(hB, nullptr);
    ASSERT_NE(hAll, nullptr);
    EXPECT_NE(hA, hB);

    EXPECT_EQ(MachineDeviceInterfaceNoticeSend(DBT_DEVICEARRIVAL, kClassA, L"\\\\?\\ROOT#DISPLAY#0000#{a}"), 2);
    ASSERT_EQ(NoticesA.size(), 1u);
    EXPECT_EQ(NoticesA[0].EventType, static_cast<DWORD>(DBT_DEVICEARRIVAL));
    EXPECT_EQ(NoticesA[0].DeviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_TRUE(NoticesA[0].ClassGuid == kClassA);
    EXPECT_EQ(NoticesA[0].Name, L"\\\\?\\ROOT#DISPLAY#0000#{a}");
    EXPECT_TRUE(NoticesB.empty());
    EXPECT_EQ(NoticesAll.size(), 1u);
}

TEST_F(DeviceNotificationTest, ListRecordsEachRegistration) {
    std::vector<Notice> Notices;
    HANDLE hRecipient = RecipientCreate(false, &Notices);
    auto Filter = InterfaceFilter(kClassA);
    HDEVNOTIFY hDevNotify = RegisterDeviceNotificationW(hRecipient, &Filter, DEVICE_NOTIFY_SERVICE_HANDLE);
    const auto List = MachineDeviceNotificationList();
    ASSERT_EQ(List.size(), 1u);
    EXPECT_EQ(List[0].hDevNotify, hDevNotify);
    EXPECT_EQ(List[0].hRecipient, hRecipient);
    EXPECT_EQ(List[0].Flags, static_cast<DWORD>(DEVICE_NOTIFY_SERVICE_HANDLE));
    EXPECT_EQ(List[0].DeviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_TRUE(List[0].ClassGuid == kClassA);
}

TEST_F(DeviceNotificationTest, HandleNoticesCarryTheRegisteredHandle) {
    ASSERT_TRUE(MachineDeviceRegister(L"NimboNotifyDevice", std::make_shared<NullDriver>()));
    HANDLE hDevice = CreateFileW(L"\\\\.\\NimboNotifyDevice", GENERIC_ALL, 3, nullptr, OPEN_EXISTING, 0x80, nullptr);
    ASSERT_NE(hDevice, INVALID_HANDLE_VALUE);
    std::vector<Notice> Notices;
    auto Filter = HandleFilter(hDevice);
    HDEVNOTIFY hDevNotify =
        RegisterDeviceNotificationW(RecipientCreate(true, &Notices, BROADCAST_QUERY_DENY), &Filter, 0);
    ASSERT_NE(hDevNotify, nullptr);
    EXPECT_EQ(MachineDeviceNotificationList()[0].DeviceName, L"NimboNotifyDevice");

    bool bDenied = false;
    EXPECT_EQ(MachineDeviceHandleNoticeSend(DBT_DEVICEQUERYREMOVE, L"NimboNotifyDevice", &bDenied), 1);
    EXPECT_TRUE(bDenied);
    EXPECT_EQ(MachineDeviceHandleNoticeSend(DBT_DEVICEQUERYREMOVE, L"NimboOtherDevice"), 0);
    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_EQ(Notices[0].EventType, static_cast<DWORD>(DBT_DEVICEQUERYREMOVE));
    EXPECT_EQ(Notices[0].DeviceType, static_cast<DWORD>(DBT_DEVTYP_HANDLE));
    EXPECT_EQ(Notices[0].hDevice, hDevice);
    EXPECT_EQ(Notices[0].hDevNotify, hDevNotify);
    EXPECT_TRUE(UnregisterDeviceNotification(hDevNotify));
    CloseHandle(hDevice);
}

TEST_F(DeviceNotificationTest, UnregisteredRegistrationHearsNothingAndCannotBeUnregisteredAgain) {
    std::vector<Notice> Notices;
    auto Filter = InterfaceFilter(kClassA);
    HDEVNOTIFY hDevNotify = RegisterDeviceNotificationW(RecipientCreate(true, &Notices), &Filter, 0);
    EXPECT_TRUE(UnregisterDeviceNotification(hDevNotify));
    EXPECT_EQ(MachineDeviceInterfaceNoticeSend(DBT_DEVICEARRIVAL, kClassA, L"x"), 0);
    EXPECT_TRUE(Notices.empty());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(UnregisterDeviceNotification(hDevNotify));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(MachineDeviceNotificationList().empty());
}

TEST_F(DeviceNotificationTest, SinkMayUnregisterWhileItIsNotified) {
    HDEVNOTIFY hDevNotify = nullptr;
    int Calls = 0;
    HANDLE hRecipient = MachineDeviceNoticeRecipientCreate(true, [&](DWORD, const DEV_BROADCAST_HDR*) {
        ++Calls;
        return UnregisterDeviceNotification(hDevNotify) ? static_cast<DWORD>(TRUE) : static_cast<DWORD>(FALSE);
    });
    auto Filter = InterfaceFilter(kClassA);
    hDevNotify = RegisterDeviceNotificationW(hRecipient, &Filter, 0);
    EXPECT_EQ(MachineDeviceInterfaceNoticeSend(DBT_DEVICEARRIVAL, kClassA, L"x"), 1);
    EXPECT_EQ(MachineDeviceInterfaceNoticeSend(DBT_DEVICEARRIVAL, kClassA, L"x"), 0);
    EXPECT_EQ(Calls, 1);
}

}  // namespace
