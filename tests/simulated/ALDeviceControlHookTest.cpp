// The hook driver's request wrappers against the simulated hook display
// driver: what the driver saw (code, sizes, records), the results, and the
// failure texts.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "library/DebugLevelScope.h"
#include "library/LogLine.h"
#include "SimulatedMachine.h"
#include "driver/ALDeviceControlHook.h"
#include "driver/ALHookIoctlRecords.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"
#include "platform/DebugCapture.h"
#include "sim/SimHookDriver.h"
#include "support/ALDebugLog.h"

namespace {

const wchar_t kHookPath[] = L"\\\\.\\NimboHookCtrlvantor";

class ALDeviceControlHookTest : public SimulatedMachineTest {
public:
    void SetUp() override {
        SimulatedMachineTest::SetUp();
        SimHookDriver::Config Settings;
        Settings.AdaptersActive = {true, false};
        m_pDriver = SimHookDriver::Install(Settings);
        ASSERT_NE(m_pDriver, nullptr);
        ASSERT_TRUE(m_Device.Create(kHookPath));
        for (HANDLE& hEvent : m_hEvents)
            hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        m_Device.Destroy();
        for (HANDLE hEvent : m_hEvents)
            CloseHandle(hEvent);
        SimulatedMachineTest::TearDown();
    }
    bool Plug(uint32_t AdapterIndex, uint32_t MonitorIndex) {
        auto Record = MonitorDescriptionMake(AdapterIndex, MonitorIndex, 1920, 1080);
        bool bAlreadyExists = false;
        return m_Device.IoctlMonitorPlug(Record.data(), static_cast<uint32_t>(Record.size()), &bAlreadyExists);
    }
    SimRequest LastRequest() {
        auto Requests = m_pDriver->Requests().List();
        return Requests.empty() ? SimRequest() : Requests.back();
    }
    HANDLE EventMonitor() const { return m_hEvents[0]; }
    HANDLE EventPosition() const { return m_hEvents[1]; }
    HANDLE EventShape() const { return m_hEvents[2]; }
    HANDLE EventFrameBuffer() const { return m_hEvents[3]; }

    std::shared_ptr<SimHookDriver> m_pDriver;
    ALDeviceControlHook m_Device;
    HANDLE m_hEvents[4] = {};
    // Kept by the calls of a case for its checks.
    std::vector<uint8_t> m_Record;
    EventsSubscribeInfo m_Subscription{};
    IoctlInfoMonitorFrameBuffer m_FrameBuffer{};
    uint64_t m_pFrame = 0, m_pAuxiliary = 0;
    uint32_t m_Pitch = 0, m_AuxiliaryPitch = 0, m_IsActive = 0;
};

using Fixture = ALDeviceControlHookTest;

struct WrapperCase {
    const char* pName;
    DWORD Code;
    std::function<void(Fixture&)> Prepare;  // state the request needs, made through the wrappers
    std::function<bool(Fixture&)> Call;
    DWORD CountByteInput;   // as the driver saw it; 0 = no buffer
    DWORD CountByteOutput;  // 0 = no buffer
    const wchar_t* pEntryText;
    const wchar_t* pFailureName;
    std::function<void(Fixture&, const SimRequest&)> Check;  // the records as the driver saw them
};

void Nothing(Fixture&) {}

template <typename T>
void ExpectZero(const T& Record) {
    const T Zero{};
    EXPECT_EQ(std::memcmp(&Record, &Zero, sizeof(T)), 0);
}

const WrapperCase kWrapperCases[] = {
    {"MonitorPlug", ALIoctlCode::MonitorPlug, Nothing,
     [](Fixture& F) {
         F.m_Record = MonitorDescriptionMake(0, 1, 1920, 1080);
         bool bAlreadyExists = true;
         const bool bResult = F.m_Device.IoctlMonitorPlug(F.m_Record.data(), 36, &bAlreadyExists);
         return bResult && !bAlreadyExists;
     },
     0, 36, L"ALDeviceControlHook::IoctlMonitorPlug m_MonitorIndex 1\n", L"IoctlMonitorPlug",
     [](Fixture& F, const SimRequest& R) {
         EXPECT_EQ(R.Output, F.m_Record);
         EXPECT_TRUE(F.m_pDriver->MonitorIsPlugged(0, 1));
         EXPECT_EQ(F.m_pDriver->MonitorDescriptionGet(0, 1).WidthGet(), 1920u);
     }},
    {"MonitorUnplug", ALIoctlCode::MonitorUnplug, [](Fixture& F) { ASSERT_TRUE(F.Plug(0, 2)); },
     [](Fixture& F) { return F.m_Device.IoctlMonitorUnplug(0, 2); }, 0, 12,
     L"ALDeviceControlHook::IoctlMonitorUnplug m_MonitorIndex 2\n", L"IoctlMonitorUnplug",
     [](Fixture& F, const SimRequest& R) {
         const auto Info = R.OutputAs<IoctlInfo>();
         EXPECT_EQ(Info.AdapterIndex, 0u);
         EXPECT_EQ(Info.MonitorIndex, 2u);
         EXPECT_EQ(Info.Reserved, 0u);
         EXPECT_FALSE(F.m_pDriver->MonitorIsPlugged(0, 2));
     }},
    {"MonitorEdidSet", ALIoctlCode::MonitorEdidSet, Nothing,
     [](Fixture& F) {
         F.m_Record.assign(136, 0x5A);
         const uint32_t Indexes[2] = {0, 2};
         std::memcpy(F.m_Record.data(), Indexes, sizeof(Indexes));
         return F.m_Device.IoctlMonitorEdidSet(F.m_Record.data(), 136);
     },
     0, 136, L"ALDeviceControlHook::IoctlMonitorEdidSet m_MonitorIndex 2\n", L"IoctlMonitorEdidSet",
     [](Fixture& F, const SimRequest& R) {
         EXPECT_EQ(R.Output, F.m_Record);
         EXPECT_EQ(F.m_pDriver->MonitorEdidGet(0, 2), std::vector<uint8_t>(128, 0x5A));
     }},
    {"MonitorEventsSubscribe", ALIoctlCode::MonitorEventsSubscribe, Nothing,
     [](Fixture& F) {
         return F.m_Device.IoctlMonitorEventsSubscribe(0, 1, F.EventMonitor(), F.EventPosition(), F.EventShape(),
                                                       &F.m_Subscription);
     },
     40, 16, L"ALDeviceControlHook::IoctlMonitorEventsSubscribe m_MonitorIndex 1\n", L"IoctlMonitorEventsSubscribe",
     [](Fixture& F, const SimRequest& R) {
         const auto Info = R.InputAs<IoctlInfoEventsIn>();
         EXPECT_EQ(Info.AdapterIndex, 0u);
         EXPECT_EQ(Info.MonitorIndex, 1u);
         EXPECT_EQ(Info.Reserved, 0u);
         EXPECT_EQ(Info.hEventMonitor, ALRecordField::HandleTo(F.EventMonitor()));
         EXPECT_EQ(Info.hEventPointerPositionChanged, ALRecordField::HandleTo(F.EventPosition()));
         EXPECT_EQ(Info.hEventPointerShapeChanged, ALRecordField::HandleTo(F.EventShape()));
         EXPECT_EQ(F.m_Subscription.PointerEventsEnabled, 1u);
         EXPECT_NE(F.m_Subscription.pCircularBufferMonitorEvents, 0u);
     }},
    {"MonitorEventUnsubscribe", ALIoctlCode::MonitorEventUnsubscribe,
     [](Fixture& F) {
         ASSERT_TRUE(F.m_Device.IoctlMonitorEventsSubscribe(0, 1, F.EventMonitor(), F.EventPosition(),
                                                            F.EventShape(), &F.m_Subscription));
     },
     [](Fixture& F) {
         return F.m_Device.IoctlMonitorEventUnsubscribe(0, 1, F.EventMonitor(), F.EventPosition(), F.EventShape(),
                                                        F.m_Subscription.pCircularBufferMonitorEvents);
     },
     40, 16, L"ALDeviceControlHook::IoctlMonitorEventUnsubscribe m_MonitorIndex 1\n",
     L"IoctlMonitorEventUnsubscribe",
     [](Fixture& F, const SimRequest& R) {
         const auto Info = R.InputAs<IoctlInfoEventsIn>();
         EXPECT_EQ(Info.MonitorIndex, 1u);
         EXPECT_EQ(Info.Reserved, 0u);
         EXPECT_EQ(Info.hEventPointerShapeChanged, ALRecordField::HandleTo(F.EventShape()));
         const auto Out = R.OutputAs<IoctlInfoEventsOut>();
         EXPECT_EQ(Out.Reserved, 0u);
         EXPECT_EQ(Out.pCircularBufferMonitorEvents, F.m_Subscription.pCircularBufferMonitorEvents);
         EXPECT_FALSE(F.m_pDriver->MonitorIsSubscribed(0, 1));
     }},
    {"MonitorFrameBufferMap", ALIoctlCode::MonitorFrameBufferMap, [](Fixture& F) { ASSERT_TRUE(F.Plug(0, 1)); },
     [](Fixture& F) {
         std::memset(&F.m_FrameBuffer, 0xCD, sizeof(F.m_FrameBuffer));
         return F.m_Device.IoctlMonitorFrameBufferMap(0, 1, F.EventFrameBuffer(), &F.m_FrameBuffer);
     },
     24, 56, L"ALDeviceControlHook::IoctlMonitorFrameBufferMap m_MonitorIndex 1\n", L"IoctlMonitorFrameBufferMap",
     [](Fixture& F, const SimRequest& R) {
         const auto Info = R.InputAs<IoctlInfoFrameBufferIn>();
         EXPECT_EQ(Info.AdapterIndex, 0u);
         EXPECT_EQ(Info.MonitorIndex, 1u);
         EXPECT_EQ(Info.Reserved, 0u);
         EXPECT_EQ(Info.hEventFramebufferChanged, ALRecordField::HandleTo(F.EventFrameBuffer()));
         ExpectZero(R.OutputAs<IoctlInfoMonitorFrameBuffer>());  // cleared before the request
         EXPECT_EQ(F.m_FrameBuffer.Width, 1920u);
         EXPECT_EQ(F.m_FrameBuffer.Height, 1080u);
         EXPECT_NE(F.m_FrameBuffer.pFrameBuffer, 0u);
     }},
    {"MonitorFrameBufferUnmap", ALIoctlCode::MonitorFrameBufferUnmap,
     [](Fixture& F) {
         ASSERT_TRUE(F.Plug(0, 1));
         ASSERT_TRUE(F.m_Device.IoctlMonitorFrameBufferMap(0, 1, F.EventFrameBuffer(), &F.m_FrameBuffer));
     },
     [](Fixture& F) {
         return F.m_Device.IoctlMonitorFrameBufferUnmap(0, 1, F.EventFrameBuffer(), F.m_FrameBuffer.pFrameBuffer);
     },
     24, 56, L"ALDeviceControlHook::IoctlMonitorFrameBufferUnmap m_MonitorIndex 1\n",
     L"IoctlMonitorFrameBufferUnmap",
     [](Fixture& F, const SimRequest& R) {
         const auto Info = R.InputAs<IoctlInfoFrameBufferIn>();
         EXPECT_EQ(Info.Reserved, 0u);
         EXPECT_EQ(Info.hEventFramebufferChanged, ALRecordField::HandleTo(F.EventFrameBuffer()));
         auto Out = R.OutputAs<IoctlInfoMonitorFrameBuffer>();
         EXPECT_EQ(Out.pFrameBuffer, F.m_FrameBuffer.pFrameBuffer);
         Out.pFrameBuffer = 0;
         ExpectZero(Out);
         EXPECT_FALSE(F.m_pDriver->MonitorIsMapped(0, 1));
     }},
    {"MonitorFrameBufferZeroCopyUnmap", ALIoctlCode::MonitorFrameBufferZeroCopyUnmap,
     [](Fixture& F) {
         ASSERT_TRUE(F.Plug(0, 1));
         ASSERT_TRUE(F.m_Device.IoctlMonitorFrameBufferZeroCopyUpdate(0, 1, &F.m_pFrame, &F.m_Pitch, &F.m_pAuxiliary,
                                                                      &F.m_AuxiliaryPitch));
     },
     [](Fixture& F) { return F.m_Device.IoctlMonitorFrameBufferZeroCopyUnmap(0, 1, F.m_pAuxiliary); }, 32, 0,
     L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUnmap m_MonitorIndex 1\n",
     L"IoctlMonitorFrameBufferZeroCopyUnmap",
     [](Fixture& F, const SimRequest& R) {
         const auto Info = R.InputAs<IoctlInfoZeroCopyUnmapIn>();
         EXPECT_EQ(Info.AdapterIndex, 0u);
         EXPECT_EQ(Info.MonitorIndex, 1u);
         EXPECT_EQ(Info.Reserved0, 0u);
         EXPECT_EQ(Info.pFrameBufferAuxiliaryZeroCopy, F.m_pAuxiliary);
         EXPECT_EQ(Info.Reserved1, 0u);
         EXPECT_EQ(F.m_pDriver->ZeroCopyMappingCount(0, 1), 0u);
     }},
    {"MonitorFrameBufferZeroCopyUpdate", ALIoctlCode::MonitorFrameBufferZeroCopyUpdate,
     [](Fixture& F) { ASSERT_TRUE(F.Plug(0, 1)); },
     [](Fixture& F) {
         return F.m_Device.IoctlMonitorFrameBufferZeroCopyUpdate(0, 1, &F.m_pFrame, &F.m_Pitch, &F.m_pAuxiliary,
                                                                 &F.m_AuxiliaryPitch);
     },
     12, 32, L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUpdate m_MonitorIndex 1\n",
     L"IoctlMonitorFrameBufferZeroCopyUpdate",
     [](Fixture& F, const SimRequest& R) {
         const auto Info = R.InputAs<IoctlInfoZeroCopyIn>();
         EXPECT_EQ(Info.MonitorIndex, 1u);
         EXPECT_EQ(Info.Reserved, 0u);
         ExpectZero(R.OutputAs<IoctlInfoZeroCopyOut>());
         const auto Out = R.OutputReturnedAs<IoctlInfoZeroCopyOut>();
         EXPECT_EQ(F.m_pFrame, Out.pFrameBufferZeroCopy);
         EXPECT_EQ(F.m_Pitch, Out.Pitch);
         EXPECT_EQ(F.m_pAuxiliary, Out.pFrameBufferAuxiliaryZeroCopy);
         EXPECT_EQ(F.m_AuxiliaryPitch, Out.FrameBufferAuxiliaryPitch);
         EXPECT_NE(F.m_pFrame, 0u);
         EXPECT_GE(F.m_Pitch, 1920u * 4);
     }},
    {"HookDriverAdapterIsActive", ALIoctlCode::HookDriverAdapterIsActive, Nothing,
     [](Fixture& F) { return F.m_Device.IoctlHookDriverAdapterIsActive(0, &F.m_IsActive); }, 4, 4,
     L"ALDeviceControlHook::IoctlHookDriverAdapterIsActive AdapterIndex:0\n", L"IoctlHookDriverAdapterIsActive",
     [](Fixture& F, const SimRequest& R) {
         EXPECT_EQ(R.InputAs<uint32_t>(), 0u);
         EXPECT_EQ(F.m_IsActive, 1u);
     }},
    {"MonitorPersistOnClose", ALIoctlCode::MonitorPersistOnClose, Nothing,
     [](Fixture& F) { return F.m_Device.IoctlMonitorPersistOnClose(true); }, 4, 0,
     L"ALDeviceControlHook::IoctlMonitorPersistOnClose\n", L"IoctlMonitorPersistOnClose",
     [](Fixture& F, const SimRequest& R) {
         EXPECT_EQ(R.InputAs<uint32_t>(), 1u);
         EXPECT_EQ(F.m_pDriver->PersistOnCloseGet(R.FileId), 1u);
     }},
};

class ALDeviceControlHookWrapperTest : public ALDeviceControlHookTest,
                                       public ::testing::WithParamInterface<WrapperCase> {};

TEST_P(ALDeviceControlHookWrapperTest, DriverSeesTheRequestAsSpecified) {
    const WrapperCase& Case = GetParam();
    Case.Prepare(*this);
    m_pDriver->Requests().Clear();
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_DRIVER_CONTROL);
    DebugCapture Capture;
    EXPECT_TRUE(Case.Call(*this));
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(Case.pEntryText)});
    ASSERT_EQ(m_pDriver->Requests().Count(), 1u);
    const SimRequest Request = LastRequest();
    EXPECT_EQ(Request.Error, static_cast<DWORD>(ERROR_SUCCESS)) << Request.Decoded;
    EXPECT_EQ(Request.Code, Case.Code);
    EXPECT_EQ(Request.FileId, MachineDeviceFileIdGet(m_Device.HandleGet()));
    EXPECT_EQ(Request.CountByteInput, Case.CountByteInput);
    EXPECT_EQ(Request.bInputPresent, Case.CountByteInput > 0);
    EXPECT_EQ(Request.CountByteOutput, Case.CountByteOutput);
    EXPECT_EQ(Request.bOutputPresent, Case.CountByteOutput > 0);
    Case.Check(*this, Request);
}

TEST_P(ALDeviceControlHookWrapperTest, RefusedRequestIsLoggedWithItsError) {
    const WrapperCase& Case = GetParam();
    Case.Prepare(*this);
    m_pDriver->Faults().FailNext(Case.Code, ERROR_GEN_FAILURE);
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_DRIVER_CONTROL);
    DebugCapture Capture;
    EXPECT_FALSE(Case.Call(*this));
    const std::wstring Failure = std::wstring(L"ALDeviceControlHook::") + Case.pFailureName +
                                 L" DeviceIoControl failed! GetLastErrorReturned: 31\n";
    EXPECT_EQ(Capture.Lines(), (std::vector<std::wstring>{LogLine(Case.pEntryText), LogLine(Failure)}));
    EXPECT_EQ(LastRequest().Error, static_cast<DWORD>(ERROR_GEN_FAILURE));
}

INSTANTIATE_TEST_SUITE_P(Wrappers, ALDeviceControlHookWrapperTest, ::testing::ValuesIn(kWrapperCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(ALDeviceControlHookTest, PlugOfAnExistingMonitorIsSuccessWithTheFlagAndOnlyTheEntryText) {
    ASSERT_TRUE(Plug(0, 1));
    auto Record = MonitorDescriptionMake(0, 1, 1920, 1080);
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_DRIVER_CONTROL);
    DebugCapture Capture;
    bool bAlreadyExists = false;
    EXPECT_TRUE(m_Device.IoctlMonitorPlug(Record.data(), 36, &bAlreadyExists));
    EXPECT_TRUE(bAlreadyExists);
    EXPECT_EQ(LastRequest().Error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(L"ALDeviceControlHook::IoctlMonitorPlug m_MonitorIndex 1\n")});
}

TEST_F(ALDeviceControlHookTest, PlugRefusedOtherwiseFailsWithTheFlagClear) {
    auto Record = MonitorDescriptionMake(1, 0, 1920, 1080);  // adapter 1 is inactive
    bool bAlreadyExists = true;
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_FALSE(m_Device.IoctlMonitorPlug(Record.data(), 36, &bAlreadyExists));
    EXPECT_FALSE(bAlreadyExists);
    EXPECT_EQ(Capture.Lines(),
              std::vector<std::wstring>{LogLine(
                  L"ALDeviceControlHook::IoctlMonitorPlug DeviceIoControl failed! GetLastErrorReturned: 50\n")});
}

TEST_F(ALDeviceControlHookTest, SubscribeWithoutRecordSendsNoOutputBuffer) {
    EXPECT_TRUE(m_Device.IoctlMonitorEventsSubscribe(0, 0, EventMonitor(), EventPosition(), EventShape(), nullptr));
    const SimRequest Request = LastRequest();
    EXPECT_FALSE(Request.bOutputPresent);
    EXPECT_EQ(Request.CountByteOutput, 0u);
    EXPECT_TRUE(m_pDriver->MonitorIsSubscribed(0, 0));
}

TEST_F(ALDeviceControlHookTest, UnsubscribeWithoutRingAddressSendsNoOutputBuffer) {
    ASSERT_TRUE(m_Device.IoctlMonitorEventsSubscribe(0, 0, EventMonitor(), EventPosition(), EventShape(), nullptr));
    EXPECT_TRUE(m_Device.IoctlMonitorEventUnsubscribe(0, 0, EventMonitor(), EventPosition(), EventShape(), 0));
    const SimRequest Request = LastRequest();
    EXPECT_FALSE(Request.bOutputPresent);
    EXPECT_EQ(Request.CountByteOutput, 0u);
    EXPECT_FALSE(m_pDriver->MonitorIsSubscribed(0, 0));
}

TEST_F(ALDeviceControlHookTest, ZeroCopyUpdateWithoutFrameResultSendsNoOutputAndHandsOutZeros) {
    ASSERT_TRUE(Plug(0, 1));
    uint32_t Pitch = 7, AuxiliaryPitch = 7;
    uint64_t pAuxiliary = 7;
    EXPECT_TRUE(m_Device.IoctlMonitorFrameBufferZeroCopyUpdate(0, 1, nullptr, &Pitch, &pAuxiliary, &AuxiliaryPitch));
    EXPECT_FALSE(LastRequest().bOutputPresent);
    EXPECT_EQ(Pitch, 0u);
    EXPECT_EQ(pAuxiliary, 0u);
    EXPECT_EQ(AuxiliaryPitch, 0u);
    EXPECT_EQ(m_pDriver->ZeroCopyMappingCount(0, 1), 0u);
}

TEST_F(ALDeviceControlHookTest, ZeroCopyUpdateFillsOnlyTheGivenResults) {
    ASSERT_TRUE(Plug(0, 1));
    uint64_t pFrame = 0;
    EXPECT_TRUE(m_Device.IoctlMonitorFrameBufferZeroCopyUpdate(0, 1, &pFrame, nullptr, nullptr, nullptr));
    EXPECT_EQ(pFrame, LastRequest().OutputReturnedAs<IoctlInfoZeroCopyOut>().pFrameBufferZeroCopy);
    EXPECT_NE(pFrame, 0u);
}

struct PersistCase {
    bool bEnable;
    uint32_t Sent;
};

class ALDeviceControlHookPersistTest : public ALDeviceControlHookTest,
                                       public ::testing::WithParamInterface<PersistCase> {};

// Only true sends 1. (A bool holding another value than 0 or 1 cannot be
// made without undefined behaviour in C++, so it has no case here.)
TEST_P(ALDeviceControlHookPersistTest, SendsOneOnlyForTrue) {
    EXPECT_TRUE(m_Device.IoctlMonitorPersistOnClose(GetParam().bEnable));
    EXPECT_EQ(LastRequest().InputAs<uint32_t>(), GetParam().Sent);
}

INSTANTIATE_TEST_SUITE_P(Values, ALDeviceControlHookPersistTest,
                         ::testing::Values(PersistCase{true, 1}, PersistCase{false, 0}));

TEST_F(ALDeviceControlHookTest, AdapterScanWithoutActiveAdapterEndsWithOneFailureLine) {
    m_pDriver->AdapterActiveSet(0, false);
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    uint32_t AdapterIndex = 0;
    uint32_t IsActive = 0;
    while (m_Device.IoctlHookDriverAdapterIsActive(AdapterIndex, &IsActive) && IsActive == 0)
        ++AdapterIndex;
    EXPECT_EQ(AdapterIndex, 2u);  // the first index past the two adapters
    EXPECT_EQ(Capture.Lines(),
              std::vector<std::wstring>{LogLine(L"ALDeviceControlHook::IoctlHookDriverAdapterIsActive DeviceIoControl "
                                                L"failed! GetLastErrorReturned: 87\n")});
}

TEST_F(ALDeviceControlHookTest, RequestsOnTheOneHandleDoNotWaitForEachOther) {
    ASSERT_TRUE(Plug(0, 1));
    auto pGate = m_pDriver->Faults().HoldNext(ALIoctlCode::MonitorFrameBufferZeroCopyUpdate);
    bool bHeldResult = false;
    std::thread Held([&] {
        uint64_t pFrame = 0;
        bHeldResult = m_Device.IoctlMonitorFrameBufferZeroCopyUpdate(0, 1, &pFrame, nullptr, nullptr, nullptr);
    });
    ASSERT_TRUE(pGate->WaitUntilHeld(10000));
    uint32_t IsActive = 0;
    EXPECT_TRUE(m_Device.IoctlHookDriverAdapterIsActive(0, &IsActive));  // completes while the other is held
    EXPECT_TRUE(pGate->IsHeld());
    pGate->Release();
    Held.join();
    EXPECT_TRUE(bHeldResult);
}

}  // namespace
