// The indirect display driver control against the simulated indirect display
// driver: Create with the process introduction and the DACL opened only for
// it, Destroy, the Plug-and-Play registrations, and every request wrapper.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SimulatedMachine.h"
#include "driver/ALDeviceControlIddCx.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"
#include "library/DebugLevelScope.h"
#include "library/LogLine.h"
#include "platform/DebugCapture.h"
#include "sim/SimIddCxDriver.h"
#include "support/ALDebugLog.h"

namespace {

const wchar_t kIddCxPath[] = L"\\\\.\\NimboIndirectCtrlkorvaxHalden";

class ALDeviceControlIddCxTest : public SimulatedMachineTest {
public:
    void SetUp() override {
        SimulatedMachineTest::SetUp();
        m_pDriver = SimIddCxDriver::Install();
        ASSERT_NE(m_pDriver, nullptr);
    }
    void TearDown() override {
        for (HANDLE hHandle : m_Received)
            CloseHandle(hHandle);
        SimulatedMachineTest::TearDown();
    }
    SimRequest LastRequest() {
        auto Requests = m_pDriver->Requests().List();
        return Requests.empty() ? SimRequest() : Requests.back();
    }
    // A handle the driver handed out, closed at the end of the test.
    HANDLE Received(uint64_t Value) {
        HANDLE hHandle = ALRecordField::HandleFrom(Value);
        if (hHandle != nullptr)
            m_Received.push_back(hHandle);
        return hHandle;
    }
    bool Plug(uint32_t MonitorIndex) {
        auto Record = MonitorDescriptionMake(0, MonitorIndex, 1920, 1080);
        MonitorPlugInfoOut Out{};
        const bool bResult = m_Device.IoctlMonitorPlug(Record.data(), 36, &Out);
        Received(Out.hEventSwapchainChanged);
        return bResult;
    }
    HANDLE RecipientCreate(bool bWindow) {
        return MachineDeviceNoticeRecipientCreate(bWindow, [this](DWORD EventType, const DEV_BROADCAST_HDR* pHeader) {
            m_Notices.push_back(EventType);
            if (pHeader->dbch_devicetype == DBT_DEVTYP_HANDLE)
                m_NoticeHandles.push_back(reinterpret_cast<const DEV_BROADCAST_HANDLE*>(pHeader)->dbch_handle);
            return static_cast<DWORD>(TRUE);
        });
    }

    std::shared_ptr<SimIddCxDriver> m_pDriver;
    ALDeviceControlIddCx m_Device;
    std::vector<HANDLE> m_Received;
    std::vector<DWORD> m_Notices;
    std::vector<HANDLE> m_NoticeHandles;
    // Kept by the calls of a case for its checks.
    std::vector<uint8_t> m_Record;
    MonitorPlugInfoOut m_PlugInfo{};
    MonitorFrameBufferEventsInfo m_EventsInfo{};
    MonitorSwapchainEvent m_SwapchainEvent{};
    DirectXData m_DirectXData{};
    DWORD m_BytesReturned = 0;
};

using Fixture = ALDeviceControlIddCxTest;

// --- Create ---------------------------------------------------------------------

struct CreateCase {
    const char* pName;
    std::function<void(Fixture&)> Arrange;
    bool bResult;
    std::vector<std::wstring> Log;  // at AL_DEBUG_ERROR
    DWORD GetCalls;
    DWORD SetCalls;
    bool bDaclNullAfter;
    bool bDriverSawProcessOpen;
    unsigned IntroductionsHandled;  // by the driver itself (an injected failure stops the request before it)
};

void PrintTo(const CreateCase& Case, std::ostream* pStream) { *pStream << Case.pName; }

const CreateCase kCreateCases[] = {
    {"IntroductionSucceeds", [](Fixture&) {}, true, {}, 1, 2, false, true, 1},
    {"IntroductionRefusedByDriver",
     [](Fixture& F) { F.m_pDriver->Faults().FailNext(ALIoctlCode::ProcessApplicationHandleSet, ERROR_GEN_FAILURE); },
     false,
     {L"ALDeviceControlIddCx::PrivateIoctlProcessApplicationHandleSet DeviceIoControl failed! "
      L"GetLastErrorReturned: 31\n",
      L"ALDeviceControlIddCx::Create PrivateIoctlProcessApplicationHandleSet failed!\n"},
     1, 2, false, false, 0},
    {"GetSecurityInfoFails",
     [](Fixture&) { MachineSecurityInfoFailSet(MachineSecurityCall::GetSecurityInfo, 0, ERROR_ACCESS_DENIED); },
     false,
     {L"ALDeviceControlIddCx::Create GetSecurityInfo failed! GetLastError: 5\n",
      L"ALDeviceControlIddCx::PrivateIoctlProcessApplicationHandleSet DeviceIoControl failed! "
      L"GetLastErrorReturned: 5\n",
      L"ALDeviceControlIddCx::Create PrivateIoctlProcessApplicationHandleSet failed!\n"},
     1, 0, false, false, 1},
    {"FirstSetSecurityInfoFails",
     [](Fixture&) { MachineSecurityInfoFailSet(MachineSecurityCall::SetSecurityInfo, 0, ERROR_ACCESS_DENIED); },
     false,
     {L"ALDeviceControlIddCx::Create SetSecurityInfo (1) failed! GetLastError: 5\n",
      L"ALDeviceControlIddCx::PrivateIoctlProcessApplicationHandleSet DeviceIoControl failed! "
      L"GetLastErrorReturned: 5\n",
      L"ALDeviceControlIddCx::Create PrivateIoctlProcessApplicationHandleSet failed!\n"},
     1, 2, false, false, 1},
    {"RestoringSetSecurityInfoFails",
     [](Fixture&) { MachineSecurityInfoFailSet(MachineSecurityCall::SetSecurityInfo, 1, ERROR_ACCESS_DENIED); },
     true,
     {L"ALDeviceControlIddCx::Create SetSecurityInfo (2) failed! GetLastError: 5\n"},
     1, 2, true, true, 1},
};

class ALDeviceControlIddCxCreateTest : public ALDeviceControlIddCxTest,
                                       public ::testing::WithParamInterface<CreateCase> {};

TEST_P(ALDeviceControlIddCxCreateTest, IntroducesTheProcessWithTheDaclOpenOnlyMeanwhile) {
    const CreateCase& Case = GetParam();
    ASSERT_FALSE(MachineProcessDaclIsNull());
    ASSERT_FALSE(MachineProcessOpenByServiceAllowed(PROCESS_DUP_HANDLE));
    Case.Arrange(*this);
    const long BlocksBefore = MachineLocalBlocksLive();
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_EQ(m_Device.Create(kIddCxPath), Case.bResult);
    EXPECT_TRUE(m_Device.IsOpen());  // a failed introduction leaves the device open
    std::vector<std::wstring> Expected;
    for (const auto& Text : Case.Log)
        Expected.push_back(LogLine(Text));
    EXPECT_EQ(Capture.Lines(), Expected);
    EXPECT_EQ(MachineSecurityInfoCallCount(MachineSecurityCall::GetSecurityInfo), Case.GetCalls);
    EXPECT_EQ(MachineSecurityInfoCallCount(MachineSecurityCall::SetSecurityInfo), Case.SetCalls);
    EXPECT_EQ(MachineProcessDaclIsNull(), Case.bDaclNullAfter);
    EXPECT_EQ(m_pDriver->IntroductionCount(), Case.IntroductionsHandled);
    EXPECT_EQ(m_pDriver->IntroductionProcessWasOpen(), Case.bDriverSawProcessOpen);
    EXPECT_EQ(m_pDriver->ProcessIsIntroduced(MachineDeviceFileIdGet(m_Device.HandleGet())), Case.bResult);
    EXPECT_EQ(MachineLocalBlocksLive(), BlocksBefore);  // the saved descriptor was released
    const SimRequest Request = LastRequest();
    EXPECT_EQ(Request.Code, ALIoctlCode::ProcessApplicationHandleSet);
    EXPECT_EQ(Request.CountByteInput, 4u);
    EXPECT_EQ(Request.InputAs<uint32_t>(), GetCurrentProcessId());
    EXPECT_FALSE(Request.bOutputPresent);
    // Only Destroy closes the device, also after a failed introduction.
    Capture.Clear();
    EXPECT_FALSE(m_Device.Create(kIddCxPath));
    EXPECT_TRUE(Capture.Lines().empty());
    EXPECT_TRUE(m_Device.Destroy());
    EXPECT_FALSE(m_Device.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Cases, ALDeviceControlIddCxCreateTest, ::testing::ValuesIn(kCreateCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(ALDeviceControlIddCxTest, SecondCreateOnAnOpenDeviceChangesNothing) {
    ASSERT_TRUE(m_Device.Create(kIddCxPath));
    const HANDLE hFirst = m_Device.HandleGet();
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_DRIVER_CONTROL);
    DebugCapture Capture;
    EXPECT_FALSE(m_Device.Create(kIddCxPath));
    EXPECT_EQ(m_Device.HandleGet(), hFirst);
    EXPECT_EQ(m_Device.StatusGet(), L"Open.");
    EXPECT_TRUE(Capture.Lines().empty());
    EXPECT_EQ(m_pDriver->IntroductionCount(), 1u);
    EXPECT_EQ(MachineDeviceFileCount(SimIddCxDriver::DeviceName), 1);
}

TEST_F(ALDeviceControlIddCxTest, CreateWithoutTheDriverMakesNoSecurityCall) {
    ASSERT_TRUE(m_pDriver->Uninstall());
    EXPECT_FALSE(m_Device.Create(kIddCxPath));
    EXPECT_EQ(MachineSecurityInfoCallCount(MachineSecurityCall::GetSecurityInfo), 0u);
    EXPECT_EQ(MachineSecurityInfoCallCount(MachineSecurityCall::SetSecurityInfo), 0u);
}

// --- Destroy and the registrations ------------------------------------------------

TEST_F(ALDeviceControlIddCxTest, DestroyEndsTheRemovalRegistrationAndClosesTheDevice) {
    HANDLE hRecipient = RecipientCreate(true);
    ASSERT_TRUE(m_Device.Create(kIddCxPath));
    ASSERT_TRUE(m_Device.PnPNotificationRemovalSubscribe(hRecipient, true));
    const auto List = MachineDeviceNotificationList();
    ASSERT_EQ(List.size(), 1u);
    EXPECT_EQ(List[0].DeviceType, static_cast<DWORD>(DBT_DEVTYP_HANDLE));
    EXPECT_EQ(List[0].FilterSize, static_cast<DWORD>(sizeof(DEV_BROADCAST_HANDLE)));
    EXPECT_EQ(List[0].Flags, static_cast<DWORD>(DEVICE_NOTIFY_WINDOW_HANDLE));
    EXPECT_EQ(List[0].hDevice, m_Device.HandleGet());
    EXPECT_EQ(m_Device.StatusGet(), L"Open.");

    EXPECT_TRUE(m_Device.Destroy());
    EXPECT_TRUE(MachineDeviceNotificationList().empty());
    EXPECT_FALSE(m_Device.IsOpen());
    EXPECT_EQ(m_Device.HandleGet(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(m_Device.StatusGet(), L"Closed.");
    EXPECT_EQ(MachineDeviceFileCount(SimIddCxDriver::DeviceName), 0);
}

TEST_F(ALDeviceControlIddCxTest, ArrivalRegistrationOutlivesDestroyAndARemovalCanBeMadeAgain) {
    HANDLE hRecipient = RecipientCreate(false);
    ASSERT_TRUE(m_Device.PnPNotificationArrivalSubscribe(hRecipient, false));  // needs no open device
    auto List = MachineDeviceNotificationList();
    ASSERT_EQ(List.size(), 1u);
    EXPECT_EQ(List[0].DeviceType, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(List[0].FilterSize, static_cast<DWORD>(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)));
    EXPECT_EQ(List[0].FilterSize, 32u);
    EXPECT_EQ(List[0].Flags, static_cast<DWORD>(DEVICE_NOTIFY_SERVICE_HANDLE));
    EXPECT_TRUE(List[0].ClassGuid == ALDeviceControlIddCx::InterfaceClassGuid);

    ASSERT_TRUE(m_Device.Create(kIddCxPath));
    ASSERT_TRUE(m_Device.PnPNotificationRemovalSubscribe(hRecipient, false));
    ASSERT_TRUE(m_Device.Destroy());
    ASSERT_EQ(MachineDeviceNotificationList().size(), 1u);
    EXPECT_EQ(MachineDeviceInterfaceNoticeSend(DBT_DEVICEARRIVAL, ALDeviceControlIddCx::InterfaceClassGuid, L"x"), 1);
    EXPECT_EQ(m_Notices, std::vector<DWORD>{DBT_DEVICEARRIVAL});

    ASSERT_TRUE(m_Device.Create(kIddCxPath));
    EXPECT_TRUE(m_Device.PnPNotificationRemovalSubscribe(hRecipient, false));
    EXPECT_EQ(MachineDeviceNotificationList().size(), 2u);
}

TEST_F(ALDeviceControlIddCxTest, SecondArrivalSubscriptionIsRefusedAndTheFirstKept) {
    HANDLE hRecipient = RecipientCreate(true);
    ASSERT_TRUE(m_Device.PnPNotificationArrivalSubscribe(hRecipient, true));
    const HDEVNOTIFY hFirst = MachineDeviceNotificationList()[0].hDevNotify;
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_FALSE(m_Device.PnPNotificationArrivalSubscribe(hRecipient, true));
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(
                                   L"ALDeviceControlIddCx::PnPNotificationArrivalSubscribe already subscribed!")});
    ASSERT_EQ(MachineDeviceNotificationList().size(), 1u);
    EXPECT_EQ(MachineDeviceNotificationList()[0].hDevNotify, hFirst);
}

TEST_F(ALDeviceControlIddCxTest, SecondRemovalSubscriptionIsRefused) {
    HANDLE hRecipient = RecipientCreate(true);
    ASSERT_TRUE(m_Device.Create(kIddCxPath));
    ASSERT_TRUE(m_Device.PnPNotificationRemovalSubscribe(hRecipient, true));
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_FALSE(m_Device.PnPNotificationRemovalSubscribe(hRecipient, true));
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(
                                   L"ALDeviceControlIddCx::PnPNotificationRemovalSubscribe already subscribed!")});
    EXPECT_EQ(MachineDeviceNotificationList().size(), 1u);
}

struct RefusedRegistrationCase {
    const char* pName;
    bool bArrival;
    bool bWindow;
    std::wstring Log;
};

const RefusedRegistrationCase kRefusedRegistrationCases[] = {
    {"ArrivalUnknownWindow", true, true,
     L"ALDeviceControlIddCx::PnPNotificationArrivalSubscribe RegisterDeviceNotification failed! 1400\n"},
    {"ArrivalUnknownService", true, false,
     L"ALDeviceControlIddCx::PnPNotificationArrivalSubscribe RegisterDeviceNotification failed! 6\n"},
    {"RemovalNeverSubscribedHost", false, false,
     L"ALDeviceControlIddCx::PnPNotificationRemovalSubscribe RegisterDeviceNotification failed 6"},
};

class ALDeviceControlIddCxRefusedRegistrationTest
    : public ALDeviceControlIddCxTest,
      public ::testing::WithParamInterface<RefusedRegistrationCase> {};

// The host that never subscribed leaves INVALID_HANDLE_VALUE as the recipient.
TEST_P(ALDeviceControlIddCxRefusedRegistrationTest, FailsWithItsText) {
    const RefusedRegistrationCase& Case = GetParam();
    ASSERT_TRUE(m_Device.Create(kIddCxPath));
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    const bool bResult = Case.bArrival ? m_Device.PnPNotificationArrivalSubscribe(INVALID_HANDLE_VALUE, Case.bWindow)
                                       : m_Device.PnPNotificationRemovalSubscribe(INVALID_HANDLE_VALUE, Case.bWindow);
    EXPECT_FALSE(bResult);
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(Case.Log)});
    EXPECT_TRUE(MachineDeviceNotificationList().empty());
    // A refused registration leaves the field empty: a later one can be made.
    HANDLE hRecipient = RecipientCreate(Case.bWindow);
    EXPECT_TRUE(Case.bArrival ? m_Device.PnPNotificationArrivalSubscribe(hRecipient, Case.bWindow)
                              : m_Device.PnPNotificationRemovalSubscribe(hRecipient, Case.bWindow));
}

INSTANTIATE_TEST_SUITE_P(Cases, ALDeviceControlIddCxRefusedRegistrationTest,
                         ::testing::ValuesIn(kRefusedRegistrationCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(ALDeviceControlIddCxTest, RemovalNoticeNamesTheOpenDevice) {
    HANDLE hRecipient = RecipientCreate(true);
    ASSERT_TRUE(m_Device.Create(kIddCxPath));
    ASSERT_TRUE(m_Device.PnPNotificationRemovalSubscribe(hRecipient, true));
    EXPECT_EQ(MachineDeviceHandleNoticeSend(DBT_DEVICEQUERYREMOVE, SimIddCxDriver::DeviceName), 1);
    ASSERT_EQ(m_NoticeHandles.size(), 1u);
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_TRUE(m_Device.OnPnPNotificationDeviceRemoval(m_NoticeHandles[0]));
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST_F(ALDeviceControlIddCxTest, DestroyWhoseUnregistrationFailsStillClosesTheDevice) {
    HANDLE hRecipient = RecipientCreate(true);
    ASSERT_TRUE(m_Device.Create(kIddCxPath));
    ASSERT_TRUE(m_Device.PnPNotificationRemovalSubscribe(hRecipient, true));
    ASSERT_TRUE(UnregisterDeviceNotification(MachineDeviceNotificationList()[0].hDevNotify));  // behind its back
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_TRUE(m_Device.Destroy());
    EXPECT_EQ(Capture.Lines(),
              std::vector<std::wstring>{
                  LogLine(L"ALDeviceControlIddCx::Destroy UnregisterDeviceNotification failed! GetLastError: 6\n")});
    EXPECT_FALSE(m_Device.IsOpen());
}

TEST_F(ALDeviceControlIddCxTest, DestructorEndsTheRegistrationsAndClosesTheDevice) {
    HANDLE hRecipient = RecipientCreate(true);
    {
        ALDeviceControlIddCx Device;
        ASSERT_TRUE(Device.PnPNotificationArrivalSubscribe(hRecipient, true));
        ASSERT_TRUE(Device.Create(kIddCxPath));
        ASSERT_TRUE(Device.PnPNotificationRemovalSubscribe(hRecipient, true));
        ASSERT_EQ(MachineDeviceNotificationList().size(), 2u);
        DebugLevelScope Level(AL_DEBUG_ERROR);
        DebugCapture Capture;
        Device.~ALDeviceControlIddCx();
        new (&Device) ALDeviceControlIddCx();
        EXPECT_TRUE(Capture.Lines().empty());
    }
    EXPECT_TRUE(MachineDeviceNotificationList().empty());
    EXPECT_EQ(MachineDeviceFileCount(SimIddCxDriver::DeviceName), 0);
}

// --- request wrappers -----------------------------------------------------------

struct WrapperCase {
    const char* pName;
    DWORD Code;
    std::function<void(Fixture&)> Prepare;
    std::function<bool(Fixture&)> Call;
    DWORD CountByteInput;
    DWORD CountByteOutput;
    const wchar_t* pEntryText;  // null: none
    const wchar_t* pFailureName;
    std::function<void(Fixture&, const SimRequest&)> Check;
};

void Nothing(Fixture&) {}

const WrapperCase kWrapperCases[] = {
    {"MonitorPlug", ALIoctlCode::MonitorPlug, Nothing,
     [](Fixture& F) {
         F.m_Record = MonitorDescriptionMake(0, 1, 1920, 1080);
         return F.m_Device.IoctlMonitorPlug(F.m_Record.data(), 36, &F.m_PlugInfo);
     },
     36, 24, L"ALDeviceControlIddCx::IoctlMonitorPlug m_MonitorIndex 1\n", L"IoctlMonitorPlug",
     [](Fixture& F, const SimRequest& R) {
         EXPECT_EQ(R.Input, F.m_Record);
         EXPECT_EQ(F.m_PlugInfo.VideoPresentTargetId, SimIddCxDriver::TargetIdBase + 1);
         EXPECT_EQ(F.m_PlugInfo.AdapterLuid.LowPart, 0x0000ADA0u);
         EXPECT_EQ(F.m_PlugInfo.Reserved, 0u);
         HANDLE hEvent = F.Received(F.m_PlugInfo.hEventSwapchainChanged);
         EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);  // a swap chain is pending already
         EXPECT_TRUE(F.m_pDriver->MonitorIsPlugged(1));
     }},
    {"MonitorUnplug", ALIoctlCode::MonitorUnplug, [](Fixture& F) { ASSERT_TRUE(F.Plug(2)); },
     [](Fixture& F) { return F.m_Device.IoctlMonitorUnplug(2); }, 4, 0,
     L"ALDeviceControlIddCx::IoctlMonitorUnplug m_MonitorIndex 2\n", L"IoctlMonitorUnplug",
     [](Fixture& F, const SimRequest& R) {
         EXPECT_EQ(R.InputAs<uint32_t>(), 2u);
         EXPECT_FALSE(F.m_pDriver->MonitorIsPlugged(2));
     }},
    {"MonitorFrameBufferEventsSubscribe", ALIoctlCode::MonitorFrameBufferEventsSubscribe,
     [](Fixture& F) { ASSERT_TRUE(F.Plug(1)); },
     [](Fixture& F) {
         std::memset(&F.m_EventsInfo, 0xCD, sizeof(F.m_EventsInfo));
         return F.m_Device.IoctlMonitorFrameBufferEventsSubscribe(1, &F.m_EventsInfo);
     },
     4, 24, L"ALDeviceControlIddCx::IoctlMonitorFrameBufferEventsSubscribe m_MonitorIndex 1\n",
     L"IoctlMonitorFrameBufferEventsSubscribe",
     [](Fixture& F, const SimRequest& R) {
         EXPECT_EQ(R.InputAs<uint32_t>(), 1u);
         const MonitorFrameBufferEventsInfo Zero{};
         const auto Seen = R.OutputAs<MonitorFrameBufferEventsInfo>();
         EXPECT_EQ(std::memcmp(&Seen, &Zero, sizeof(Zero)), 0);  // cleared before the request
         EXPECT_EQ(F.m_EventsInfo.FrameBufferInfo.Width, 1920u);
         EXPECT_EQ(F.m_EventsInfo.FrameBufferInfo.Height, 1080u);
         EXPECT_NE(F.Received(F.m_EventsInfo.hEventFramebufferAvailable), nullptr);
     }},
    {"MonitorSwapchainEventsRetrieve", ALIoctlCode::MonitorSwapchainEventsRetrieve,
     [](Fixture& F) { ASSERT_TRUE(F.Plug(1)); },
     [](Fixture& F) {
         F.m_SwapchainEvent = MonitorSwapchainEvent{};
         return F.m_Device.IoctlMonitorSwapchainEventsRetrieve(1, &F.m_SwapchainEvent);
     },
     4, 16, L"ALDeviceControlIddCx::IoctlMonitorSwpachainEventRetrieve m_MonitorIndex 1\n",
     L"IoctlMonitorSwapchainEventsRetrieve",
     [](Fixture& F, const SimRequest& R) {
         EXPECT_EQ(R.InputAs<uint32_t>(), 1u);
         EXPECT_EQ(F.m_SwapchainEvent.EventType, static_cast<uint32_t>(NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_ASSIGNED));
         EXPECT_EQ(F.m_SwapchainEvent.EventPresent, 1u);
         EXPECT_EQ(F.m_SwapchainEvent.RenderAdapterLuid.LowPart, 0x0000D3D0u);
     }},
    {"MonitorFrameBufferDirectXAcquire", ALIoctlCode::MonitorFrameBufferDirectXAcquire,
     [](Fixture& F) {
         ASSERT_TRUE(F.Plug(1));
         ASSERT_TRUE(F.m_pDriver->FramePresent(1));
     },
     [](Fixture& F) { return F.m_Device.IoctlMonitorFrameBufferDirectXAcquire(1, &F.m_DirectXData, &F.m_BytesReturned); },
     4, 24, L"ALDeviceControlIddCx::IoctlMonitorFrameBufferDirectXAcquire MonitorIndex 1\n",
     L"IoctlMonitorFrameBufferDirectXAcquire",
     [](Fixture& F, const SimRequest& R) {
         EXPECT_EQ(R.InputAs<uint32_t>(), 1u);
         EXPECT_EQ(F.m_BytesReturned, 24u);
         EXPECT_EQ(R.BytesReturned, 24u);
         HANDLE hResource = F.Received(F.m_DirectXData.hResourceShared);
         auto pTexture = std::dynamic_pointer_cast<MachineSharedTexture>(MachineSharedResourceFromHandle(hResource));
         ASSERT_NE(pTexture, nullptr);
         EXPECT_EQ(pTexture->Width, 1920u);
         EXPECT_EQ(F.m_DirectXData.UpdateRectangle.right, 1920);
         EXPECT_EQ(F.m_DirectXData.UpdateRectangle.bottom, 1080);
     }},
    {"MonitorPersistOnClose", ALIoctlCode::MonitorPersistOnClose, Nothing,
     [](Fixture& F) { return F.m_Device.IoctlMonitorPersistOnClose(true); }, 4, 0,
     L"ALDeviceControlIddCx::IoctlMonitorPersistOnClose\n", L"IoctlMonitorPersistOnClose",
     [](Fixture&, const SimRequest& R) { EXPECT_EQ(R.InputAs<uint32_t>(), 1u); }},
    {"ProcessApplicationHandleSet", ALIoctlCode::ProcessApplicationHandleSet,
     [](Fixture&) {
         ASSERT_EQ(SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                   nullptr, nullptr),
                   static_cast<DWORD>(ERROR_SUCCESS));
     },
     [](Fixture& F) { return F.m_Device.PrivateIoctlProcessApplicationHandleSet(); }, 4, 0, nullptr,
     L"PrivateIoctlProcessApplicationHandleSet",
     [](Fixture&, const SimRequest& R) { EXPECT_EQ(R.InputAs<uint32_t>(), GetCurrentProcessId()); }},
};

class ALDeviceControlIddCxWrapperTest : public ALDeviceControlIddCxTest,
                                        public ::testing::WithParamInterface<WrapperCase> {
public:
    void SetUp() override {
        ALDeviceControlIddCxTest::SetUp();
        ASSERT_TRUE(m_Device.Create(kIddCxPath));
    }
};

TEST_P(ALDeviceControlIddCxWrapperTest, DriverSeesTheRequestAsSpecified) {
    const WrapperCase& Case = GetParam();
    Case.Prepare(*this);
    m_pDriver->Requests().Clear();
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_DRIVER_CONTROL);
    DebugCapture Capture;
    EXPECT_TRUE(Case.Call(*this));
    std::vector<std::wstring> Expected;
    if (Case.pEntryText != nullptr)
        Expected.push_back(LogLine(Case.pEntryText));
    EXPECT_EQ(Capture.Lines(), Expected);
    ASSERT_EQ(m_pDriver->Requests().Count(), 1u);
    const SimRequest Request = LastRequest();
    EXPECT_EQ(Request.Error, static_cast<DWORD>(ERROR_SUCCESS)) << Request.Decoded;
    EXPECT_EQ(Request.Code, Case.Code);
    EXPECT_EQ(Request.CountByteInput, Case.CountByteInput);
    EXPECT_EQ(Request.bInputPresent, Case.CountByteInput > 0);
    EXPECT_EQ(Request.CountByteOutput, Case.CountByteOutput);
    EXPECT_EQ(Request.bOutputPresent, Case.CountByteOutput > 0);
    Case.Check(*this, Request);
}

TEST_P(ALDeviceControlIddCxWrapperTest, RefusedRequestIsLoggedWithItsError) {
    const WrapperCase& Case = GetParam();
    Case.Prepare(*this);
    m_pDriver->Faults().FailNext(Case.Code, ERROR_GEN_FAILURE);
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_DRIVER_CONTROL);
    DebugCapture Capture;
    EXPECT_FALSE(Case.Call(*this));
    std::vector<std::wstring> Expected;
    if (Case.pEntryText != nullptr)
        Expected.push_back(LogLine(Case.pEntryText));
    Expected.push_back(LogLine(std::wstring(L"ALDeviceControlIddCx::") + Case.pFailureName +
                               L" DeviceIoControl failed! GetLastErrorReturned: 31\n"));
    EXPECT_EQ(Capture.Lines(), Expected);
}

INSTANTIATE_TEST_SUITE_P(Wrappers, ALDeviceControlIddCxWrapperTest, ::testing::ValuesIn(kWrapperCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

using ALDeviceControlIddCxOpenTest = ALDeviceControlIddCxWrapperTest;

TEST_F(ALDeviceControlIddCxOpenTest, PlugOfAPluggedSlotIsSuccessWithoutTextAndLeavesTheOutput) {
    ASSERT_TRUE(Plug(1));
    auto Record = MonitorDescriptionMake(0, 1, 1920, 1080);
    MonitorPlugInfoOut Out{};
    Out.VideoPresentTargetId = 0x77;
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_TRUE(m_Device.IoctlMonitorPlug(Record.data(), 36, &Out));
    EXPECT_EQ(LastRequest().Error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Out.VideoPresentTargetId, 0x77u);
    EXPECT_EQ(Out.hEventSwapchainChanged, 0u);
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST_F(ALDeviceControlIddCxOpenTest, AcquisitionWithoutNewFrameReturnsNoBytes) {
    ASSERT_TRUE(Plug(1));
    DirectXData Data{};
    DWORD BytesReturned = 99;
    EXPECT_TRUE(m_Device.IoctlMonitorFrameBufferDirectXAcquire(1, &Data, &BytesReturned));
    EXPECT_EQ(BytesReturned, 0u);
}

TEST_F(ALDeviceControlIddCxOpenTest, RetrievalWithoutPendingEventLeavesEventPresentZero) {
    ASSERT_TRUE(Plug(1));
    MonitorSwapchainEvent Event{};
    ASSERT_TRUE(m_Device.IoctlMonitorSwapchainEventsRetrieve(1, &Event));
    ASSERT_EQ(Event.EventPresent, 1u);
    Event = MonitorSwapchainEvent{};
    EXPECT_TRUE(m_Device.IoctlMonitorSwapchainEventsRetrieve(1, &Event));
    EXPECT_EQ(Event.EventPresent, 0u);
}

TEST_F(ALDeviceControlIddCxOpenTest, PersistOnCloseSendsZeroForFalse) {
    EXPECT_TRUE(m_Device.IoctlMonitorPersistOnClose(false));
    EXPECT_EQ(LastRequest().InputAs<uint32_t>(), 0u);
}

}  // namespace
