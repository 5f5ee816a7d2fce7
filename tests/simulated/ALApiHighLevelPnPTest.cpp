// The device notifications a host forwards to the high-level API: each
// event type's text and outputs, the running check on arrival, the own
// device's removal as the host receives it, and records that claim less
// than their type needs (each built with exactly the bytes it claims, so
// that a read past it shows under the address sanitizer).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "ApiHighLevelFixture.h"
#include "DisplayDeviceNode.h"

namespace {

constexpr const wchar_t* kInterfaceName = L"\\\\?\\ROOT#DISPLAY#0000#{017f0ac2-a4de-4694-abad-acc3e0a159d3}";

// A notification record of exactly Size bytes whose size field says Claimed.
std::vector<BYTE> RecordMake(DWORD DeviceType, size_t Size, DWORD Claimed) {
    std::vector<BYTE> Record(Size, 0);
    DEV_BROADCAST_HDR Header{Claimed, DeviceType, 0};
    std::memcpy(Record.data(), &Header, std::min(Size, sizeof(Header)));
    return Record;
}

// An interface record with the name, terminated or not.
std::vector<BYTE> InterfaceRecordMake(const std::wstring& Name, bool bTerminated) {
    constexpr size_t NameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    const size_t Size = NameOffset + (Name.size() + (bTerminated ? 1 : 0)) * sizeof(WCHAR);
    std::vector<BYTE> Record = RecordMake(DBT_DEVTYP_DEVICEINTERFACE, Size, static_cast<DWORD>(Size));
    std::memcpy(Record.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_classguid),
                &ALDeviceControlIddCx::InterfaceClassGuid, sizeof(GUID));
    std::memcpy(Record.data() + NameOffset, Name.data(), Name.size() * sizeof(WCHAR));
    return Record;
}

// A handle record naming hDevice.
std::vector<BYTE> HandleRecordMake(HANDLE hDevice, size_t Size = sizeof(DEV_BROADCAST_HANDLE)) {
    std::vector<BYTE> Record = RecordMake(DBT_DEVTYP_HANDLE, Size, static_cast<DWORD>(Size));
    if (Size >= offsetof(DEV_BROADCAST_HANDLE, dbch_handle) + sizeof(HANDLE))
        std::memcpy(Record.data() + offsetof(DEV_BROADCAST_HANDLE, dbch_handle), &hDevice, sizeof(HANDLE));
    return Record;
}

enum class Driver { Absent, Stopped, Running };

struct NoticeCase {
    const char* Name;
    DWORD EventType;
    std::vector<BYTE> (*Make)(HANDLE hOwnDevice);
    Driver DriverState;
    bool bResult;
    bool bOwnRemoval;
    bool bDriverRunning;
    const wchar_t* pLine;  // a line the notice logs
};

const NoticeCase kNoticeCases[] = {
    {"ArrivalWithRunningDriver", DBT_DEVICEARRIVAL, [](HANDLE) { return InterfaceRecordMake(kInterfaceName, true); },
     Driver::Running, true, false, true, L"  \\\\?\\ROOT#DISPLAY#0000#{017f0ac2"},
    {"ArrivalWithStoppedDriver", DBT_DEVICEARRIVAL, [](HANDLE) { return InterfaceRecordMake(kInterfaceName, true); },
     Driver::Stopped, true, false, false, L"DBT_DEVICEARRIVAL\n"},
    {"ArrivalWithoutAnyDevice", DBT_DEVICEARRIVAL, [](HANDLE) { return InterfaceRecordMake(L"x", true); },
     Driver::Absent, true, false, false, L"  x\n"},
    {"ArrivalOfAHandleIsOnlyLogged", DBT_DEVICEARRIVAL, [](HANDLE h) { return HandleRecordMake(h); },
     Driver::Running, true, false, false, L"DBT_DEVICEARRIVAL\n"},
    {"ArrivalNameWithoutTerminator", DBT_DEVICEARRIVAL,
     [](HANDLE) { return InterfaceRecordMake(kInterfaceName, false); }, Driver::Running, false, false, false,
     L"ALApiHighLevel::OnPnPNotification failed! Malformed record"},
    {"ArrivalClaimingLessThanTheName", DBT_DEVICEARRIVAL,
     [](HANDLE) {
         return RecordMake(DBT_DEVTYP_DEVICEINTERFACE, offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name),
                           offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name));
     },
     Driver::Running, false, false, false, L"Malformed record"},
    {"ArrivalClaimingLessThanAHeader", DBT_DEVICEARRIVAL, [](HANDLE) { return RecordMake(0, 4, 4); },
     Driver::Running, false, false, false, L"Malformed record, dbch_size:4\n"},
    {"QueryRemoveOfTheOwnDevice", DBT_DEVICEQUERYREMOVE, [](HANDLE h) { return HandleRecordMake(h); },
     Driver::Running, true, true, false, L"DBT_DEVICEQUERYREMOVE\n"},
    {"RemovePendingOfTheOwnDevice", DBT_DEVICEREMOVEPENDING, [](HANDLE h) { return HandleRecordMake(h); },
     Driver::Running, true, true, false, L"DBT_DEVICEREMOVEPENDING\n"},
    {"QueryRemoveOfAnotherHandle", DBT_DEVICEQUERYREMOVE,
     [](HANDLE) { return HandleRecordMake(reinterpret_cast<HANDLE>(0x4321)); }, Driver::Running, true, false, false,
     L"ALDeviceControlIddCx::OnPnPNotificationDeviceRemoval failed!"},
    {"QueryRemoveOfAnInterfaceIsOnlyLogged", DBT_DEVICEQUERYREMOVE,
     [](HANDLE) { return InterfaceRecordMake(kInterfaceName, true); }, Driver::Running, true, false, false,
     L"DBT_DEVICEQUERYREMOVE\n"},
    {"QueryRemoveClaimingLessThanTheHandle", DBT_DEVICEQUERYREMOVE,
     [](HANDLE h) { return HandleRecordMake(h, offsetof(DEV_BROADCAST_HANDLE, dbch_handle)); }, Driver::Running,
     false, false, false, L"Malformed record"},
    {"QueryRemoveFailed", DBT_DEVICEQUERYREMOVEFAILED, [](HANDLE h) { return HandleRecordMake(h); }, Driver::Running,
     true, false, false, L"DBT_DEVICEQUERYREMOVEFAILED\n"},
    {"RemoveComplete", DBT_DEVICEREMOVECOMPLETE, [](HANDLE h) { return HandleRecordMake(h); }, Driver::Running, true,
     false, false, L"DBT_DEVICEREMOVECOMPLETE\n"},
    {"UnknownEventType", DBT_CUSTOMEVENT, [](HANDLE h) { return HandleRecordMake(h); }, Driver::Running, true, false,
     false, L"UNKNOWN EventType:0x8006\n"},
};

class ALApiHighLevelPnPTest : public ApiHighLevelTest, public ::testing::WithParamInterface<NoticeCase> {
protected:
    void SetUp() override {
        ApiHighLevelTest::SetUp();
        MachineSetupReset();
    }
    void TearDown() override {
        ApiHighLevelTest::TearDown();
        MachineSetupReset();
    }
};

TEST_P(ALApiHighLevelPnPTest, NoticeIsLoggedAndAnsweredByItsType) {
    const NoticeCase& Case = GetParam();
    if (Case.DriverState != Driver::Absent) {
        const std::wstring InstanceId = DisplayDeviceNode::Add();
        if (Case.DriverState == Driver::Running)
            DisplayDeviceNode::StatusSet(InstanceId, DN_DRIVER_LOADED | DN_STARTED);
    }
    ASSERT_TRUE(Initialize(1));
    std::vector<BYTE> Record = Case.Make(m_pApi->DeviceControlIddCxGet().HandleGet());
    MachineDebugClear();
    bool bOwnRemoval = !Case.bOwnRemoval;
    bool bDriverRunning = !Case.bDriverRunning;
    EXPECT_EQ(m_pApi->OnPnPNotification(Case.EventType, reinterpret_cast<PDEV_BROADCAST_HDR>(Record.data()),
                                        &bOwnRemoval, &bDriverRunning),
              Case.bResult);
    EXPECT_EQ(bOwnRemoval, Case.bOwnRemoval);
    EXPECT_EQ(bDriverRunning, Case.bDriverRunning);
    EXPECT_TRUE(Logged(Case.pLine)) << "expected a line with: " << ::testing::PrintToString(std::wstring(Case.pLine));
}

INSTANTIATE_TEST_SUITE_P(Cases, ALApiHighLevelPnPTest, ::testing::ValuesIn(kNoticeCases),
                         [](const auto& Info) { return Info.param.Name; });

class ALApiHighLevelNoticeTest : public ApiHighLevelTest {};

TEST_F(ALApiHighLevelNoticeTest, NoticesBeforeAnIndirectInitializeOrWithoutRecordAreRefused) {
    std::vector<BYTE> Record = HandleRecordMake(nullptr);
    auto* pRecord = reinterpret_cast<PDEV_BROADCAST_HDR>(Record.data());
    bool bOwnRemoval = true;
    bool bDriverRunning = true;
    EXPECT_FALSE(m_pApi->OnPnPNotification(DBT_DEVICEQUERYREMOVE, pRecord, &bOwnRemoval, &bDriverRunning));
    EXPECT_FALSE(bOwnRemoval);
    EXPECT_FALSE(bDriverRunning);
    EXPECT_TRUE(Logged(L"ALApiHighLevel::OnPnPNotification failed! Unsupported in NIMBO_API_TYPE_HOOK_DRIVER...\n"));
    ASSERT_TRUE(Initialize(1));
    bOwnRemoval = bDriverRunning = true;
    EXPECT_FALSE(m_pApi->OnPnPNotification(DBT_DEVICEARRIVAL, nullptr, &bOwnRemoval, &bDriverRunning));
    EXPECT_FALSE(bOwnRemoval);
    EXPECT_FALSE(bDriverRunning);
    EXPECT_TRUE(Logged(L"ALApiHighLevel::OnPnPNotification failed! NULL == lpEventData\n"));
    EXPECT_TRUE(m_pApi->OnPnPNotification(DBT_DEVICEREMOVECOMPLETE, pRecord, nullptr, nullptr))
        << "outputs the host leaves out are not written";
}

// As a host does it: subscribe, initialise, and forward what its recipient
// receives when Windows asks whether the driver's device may go away.
TEST_F(ALApiHighLevelNoticeTest, HostLearnsOfTheOwnDeviceRemovalThroughItsRecipient) {
    bool bOwnRemoval = false;
    int Notices = 0;
    HANDLE hRecipient =
        MachineDeviceNoticeRecipientCreate(true, [&](DWORD EventType, const DEV_BROADCAST_HDR* pHeader) -> DWORD {
            ++Notices;
            bool bRunning = false;
            m_pApi->OnPnPNotification(EventType, const_cast<PDEV_BROADCAST_HDR>(pHeader), &bOwnRemoval, &bRunning);
            return TRUE;
        });
    EXPECT_FALSE(m_pApi->PnPNotificationSubscribe(nullptr, true));
    EXPECT_TRUE(Logged(L"ALApiHighLevel::PnPNotificationSubscribe m_DeviceControlIddCxDriver."
                       L"PnPNotificationArrivalSubscribe failed!\n"));
    ASSERT_TRUE(m_pApi->PnPNotificationSubscribe(hRecipient, true));
    ASSERT_TRUE(Initialize(1));
    EXPECT_EQ(MachineDeviceHandleNoticeSend(DBT_DEVICEQUERYREMOVE, SimIddCxDriver::DeviceName), 1);
    EXPECT_EQ(Notices, 1);
    EXPECT_TRUE(bOwnRemoval);
    m_pApi->Uninitialize(true);
    EXPECT_EQ(MachineDeviceHandleNoticeSend(DBT_DEVICEQUERYREMOVE, SimIddCxDriver::DeviceName), 0)
        << "the removal registration ends with the device";
    MachineDeviceNoticeRecipientDestroy(hRecipient);
}

}  // namespace
