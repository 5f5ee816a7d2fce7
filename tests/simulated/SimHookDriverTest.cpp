// The simulated hook display driver as the library meets it: its answers to
// wrong requests, the event ring, the frame buffer with its update ring and
// pointer record in shared memory, zero-copy buffers, persist-on-close, and
// the scenario operations.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SimulatedMachine.h"
#include "driver/ALDeviceControlHook.h"
#include "driver/ALHookIoctlRecords.h"
#include "driver/ALIoctlCode.h"
#include "sim/SimHookDriver.h"

namespace {

const wchar_t kHookPath[] = L"\\\\.\\NimboHookCtrlvantor";

class SimHookDriverTest : public SimulatedMachineTest {
public:
    void SetUp() override {
        SimulatedMachineTest::SetUp();
        Install(SimHookDriver::Config{});
    }
    void Install(SimHookDriver::Config Settings) {
        m_Device.Destroy();
        if (m_pDriver != nullptr)
            m_pDriver->Uninstall();
        Settings.AdaptersActive = {true, false};
        m_pDriver = SimHookDriver::Install(Settings);
        ASSERT_NE(m_pDriver, nullptr);
        ASSERT_TRUE(m_Device.Create(kHookPath));
    }
    void TearDown() override {
        m_Device.Destroy();
        for (HANDLE hEvent : m_hEvents)
            CloseHandle(hEvent);
        SimulatedMachineTest::TearDown();
    }
    bool Plug(uint32_t MonitorIndex, uint32_t Width = 640, uint32_t Height = 480) {
        auto Record = MonitorDescriptionMake(0, MonitorIndex, Width, Height);
        bool bAlreadyExists = false;
        return m_Device.IoctlMonitorPlug(Record.data(), static_cast<uint32_t>(Record.size()), &bAlreadyExists) &&
               !bAlreadyExists;
    }
    bool Subscribe(uint32_t MonitorIndex) {
        return m_Device.IoctlMonitorEventsSubscribe(0, MonitorIndex, m_hEvents[0], m_hEvents[1], m_hEvents[2],
                                                    &m_Subscription);
    }
    bool Map(uint32_t MonitorIndex) {
        return m_Device.IoctlMonitorFrameBufferMap(0, MonitorIndex, m_hEvents[3], &m_FrameBuffer);
    }
    DWORD LastError() {
        auto Requests = m_pDriver->Requests().List();
        return Requests.empty() ? 0xFFFFFFFF : Requests.back().Error;
    }
    DWORD Raw(DWORD Code, const void* pInput, DWORD CountByteInput, void* pOutput, DWORD CountByteOutput) {
        DWORD BytesReturned = 0;
        if (DeviceIoControl(m_Device.HandleGet(), Code, const_cast<void*>(pInput), CountByteInput, pOutput,
                            CountByteOutput, &BytesReturned, nullptr))
            return ERROR_SUCCESS;
        return GetLastError();
    }
    // The ring the process sees at Address.
    static CircularBufferHeader Header(uint64_t Address) { return SharedRead<CircularBufferHeader>(Address); }
    template <typename T>
    static T Element(uint64_t Address, uint32_t Index) {
        return SharedRead<T>(Address + sizeof(CircularBufferHeader) + Index * sizeof(T));
    }
    static void ConsumerSet(uint64_t Address, uint32_t Consumer) {
        reinterpret_cast<CircularBufferHeader*>(static_cast<uintptr_t>(Address))->Consumer = Consumer;
    }

    std::shared_ptr<SimHookDriver> m_pDriver;
    ALDeviceControlHook m_Device;
    HANDLE m_hEvents[4] = {CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr),
                           CreateEventW(nullptr, FALSE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    EventsSubscribeInfo m_Subscription{};
    IoctlInfoMonitorFrameBuffer m_FrameBuffer{};
};

using Fixture = SimHookDriverTest;

struct RefusalCase {
    const char* pName;
    std::function<void(Fixture&)> Request;  // the last request made is the one judged
    DWORD dwError;
};

const RefusalCase kRefusalCases[] = {
    {"AdapterPastTheLast", [](Fixture& F) { uint32_t v; F.m_Device.IoctlHookDriverAdapterIsActive(2, &v); },
     ERROR_INVALID_PARAMETER},
    {"AdapterQueryWithoutAnswerBuffer", [](Fixture& F) { F.m_Device.IoctlHookDriverAdapterIsActive(0, nullptr); },
     ERROR_INSUFFICIENT_BUFFER},
    {"PlugOnInactiveAdapter",
     [](Fixture& F) {
         auto R = MonitorDescriptionMake(1, 0, 640, 480);
         bool b;
         F.m_Device.IoctlMonitorPlug(R.data(), 36, &b);
     },
     ERROR_NOT_SUPPORTED},
    {"PlugPastTheSlots",
     [](Fixture& F) {
         auto R = MonitorDescriptionMake(0, 3, 640, 480);
         bool b;
         F.m_Device.IoctlMonitorPlug(R.data(), 36, &b);
     },
     ERROR_INVALID_PARAMETER},
    {"PlugWithoutMode",
     [](Fixture& F) {
         auto R = MonitorDescriptionMake(0, 0, 640, 480);
         R[16] = 0;
         bool b;
         F.m_Device.IoctlMonitorPlug(R.data(), 36, &b);
     },
     ERROR_INVALID_PARAMETER},
    {"PlugShorterThanItsModes",
     [](Fixture& F) {
         auto R = MonitorDescriptionMake(0, 0, 640, 480);
         bool b;
         F.m_Device.IoctlMonitorPlug(R.data(), 35, &b);
     },
     ERROR_INSUFFICIENT_BUFFER},
    {"PlugOfZeroWidth",
     [](Fixture& F) {
         auto R = MonitorDescriptionMake(0, 0, 0, 480);
         bool b;
         F.m_Device.IoctlMonitorPlug(R.data(), 36, &b);
     },
     ERROR_INVALID_PARAMETER},
    {"UnplugWithoutMonitor", [](Fixture& F) { F.m_Device.IoctlMonitorUnplug(0, 0); }, ERROR_DEVICE_NOT_CONNECTED},
    {"EdidTooShort",
     [](Fixture& F) {
         uint8_t R[4] = {};
         F.m_Device.IoctlMonitorEdidSet(R, 4);
     },
     ERROR_INSUFFICIENT_BUFFER},
    {"MapWithoutMonitor", [](Fixture& F) { F.Map(0); }, ERROR_DEVICE_NOT_CONNECTED},
    {"MapTwice",
     [](Fixture& F) {
         F.Plug(0);
         F.Map(0);
         F.Map(0);
     },
     ERROR_ALREADY_EXISTS},
    {"MapWithoutEvent",
     [](Fixture& F) {
         F.Plug(0);
         IoctlInfoMonitorFrameBuffer Info;
         F.m_Device.IoctlMonitorFrameBufferMap(0, 0, nullptr, &Info);
     },
     ERROR_INVALID_HANDLE},
    {"UnmapWithoutMapping",
     [](Fixture& F) {
         F.Plug(0);
         F.m_Device.IoctlMonitorFrameBufferUnmap(0, 0, F.m_hEvents[3], 0x1000);
     },
     ERROR_NOT_FOUND},
    {"UnmapOfAnotherAddress",
     [](Fixture& F) {
         F.Plug(0);
         F.Map(0);
         F.m_Device.IoctlMonitorFrameBufferUnmap(0, 0, F.m_hEvents[3], F.m_FrameBuffer.pFrameBuffer + 64);
     },
     ERROR_INVALID_PARAMETER},
    {"SubscribeTwice",
     [](Fixture& F) {
         F.Subscribe(0);
         F.Subscribe(0);
     },
     ERROR_ALREADY_EXISTS},
    {"SubscribeWithAClosedEvent",
     [](Fixture& F) {
         HANDLE hClosed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
         CloseHandle(hClosed);
         F.m_Device.IoctlMonitorEventsSubscribe(0, 0, F.m_hEvents[0], hClosed, F.m_hEvents[2], nullptr);
     },
     ERROR_INVALID_HANDLE},
    {"SubscribeShortInput",
     [](Fixture& F) {
         uint8_t In[39] = {};
         F.Raw(ALIoctlCode::MonitorEventsSubscribe, In, 39, nullptr, 0);
     },
     ERROR_INSUFFICIENT_BUFFER},
    {"UnsubscribeWithoutSubscription",
     [](Fixture& F) { F.m_Device.IoctlMonitorEventUnsubscribe(0, 0, nullptr, nullptr, nullptr, 0); }, ERROR_NOT_FOUND},
    {"UnsubscribeOfAnotherRing",
     [](Fixture& F) {
         F.Subscribe(0);
         F.m_Device.IoctlMonitorEventUnsubscribe(0, 0, nullptr, nullptr, nullptr,
                                                 F.m_Subscription.pCircularBufferMonitorEvents + 4);
     },
     ERROR_INVALID_PARAMETER},
    {"ZeroCopyWithoutMonitor",
     [](Fixture& F) {
         uint64_t p;
         F.m_Device.IoctlMonitorFrameBufferZeroCopyUpdate(0, 0, &p, nullptr, nullptr, nullptr);
     },
     ERROR_DEVICE_NOT_CONNECTED},
    {"ZeroCopyUnmapOfUnknownAddress",
     [](Fixture& F) {
         F.Plug(0);
         F.m_Device.IoctlMonitorFrameBufferZeroCopyUnmap(0, 0, 0x5000);
     },
     ERROR_INVALID_PARAMETER},
    {"PersistOfTwo",
     [](Fixture& F) {
         const uint32_t Value = 2;
         F.Raw(ALIoctlCode::MonitorPersistOnClose, &Value, 4, nullptr, 0);
     },
     ERROR_INVALID_PARAMETER},
    {"UnknownCode", [](Fixture& F) { F.Raw(ALIoctlCode::ProcessApplicationHandleSet, nullptr, 0, nullptr, 0); },
     ERROR_INVALID_FUNCTION},
};

class SimHookDriverRefusalTest : public SimHookDriverTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SimHookDriverRefusalTest, AnswersWithItsError) {
    GetParam().Request(*this);
    EXPECT_EQ(LastError(), GetParam().dwError) << m_pDriver->Requests().List().back().Decoded;
}

INSTANTIATE_TEST_SUITE_P(Cases, SimHookDriverRefusalTest, ::testing::ValuesIn(kRefusalCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(SimHookDriverTest, InstallWritesTheMonitorCount) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, SimHookDriver::ServiceKey, 0, KEY_READ, &hKey), ERROR_SUCCESS);
    DWORD Value = 0, Size = sizeof(Value), Type = 0;
    EXPECT_EQ(RegQueryValueExW(hKey, L"MonitorCount", nullptr, &Type, reinterpret_cast<BYTE*>(&Value), &Size),
              ERROR_SUCCESS);
    EXPECT_EQ(Value, 3u);
    RegCloseKey(hKey);
}

TEST_F(SimHookDriverTest, EventRingCarriesVisibilityAndPowerEvents) {
    ASSERT_TRUE(Subscribe(1));
    const uint64_t Ring = m_Subscription.pCircularBufferMonitorEvents;
    CircularBufferHeader Start = Header(Ring);
    EXPECT_EQ(Start.Producer, 0u);
    EXPECT_EQ(Start.Consumer, 0u);
    EXPECT_EQ(Start.CountElements, 64u);
    EXPECT_EQ(Start.CountByteElement, 12u);
    EXPECT_EQ(Start.Overflow, 0u);
    ASSERT_TRUE(Plug(1));  // Windows brings the new monitor up: visible
    EXPECT_EQ(WaitForSingleObject(m_hEvents[0], 0), WAIT_OBJECT_0);
    ASSERT_TRUE(m_pDriver->MonitorVisibilitySet(0, 1, false));
    ASSERT_TRUE(m_pDriver->MonitorPowerEventEmit(0, 1, 4, 2));
    EXPECT_EQ(Header(Ring).Producer, 3u);
    const auto First = Element<NIMBO_MONITOR_EVENT>(Ring, 0);
    EXPECT_EQ(First.Type, static_cast<uint32_t>(NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY));
    EXPECT_EQ(First.Visible, 1u);
    EXPECT_EQ(Element<NIMBO_MONITOR_EVENT>(Ring, 1).Visible, 0u);
    const auto Power = Element<NIMBO_MONITOR_EVENT>(Ring, 2);
    EXPECT_EQ(Power.Type, static_cast<uint32_t>(NIMBO_MONITOR_EVENT_TYPE_POWER));
    EXPECT_EQ(Power.PowerState, 4u);
    EXPECT_EQ(Power.PowerAction, 2u);
}

TEST_F(SimHookDriverTest, FullRingKeepsOneElementFreeAndRaisesOverflow) {
    SimHookDriver::Config Settings;
    Settings.EventRingCountElements = 4;
    Install(Settings);
    ASSERT_TRUE(Subscribe(0));
    const uint64_t Ring = m_Subscription.pCircularBufferMonitorEvents;
    for (int Index = 0; Index < 3; ++Index)
        EXPECT_TRUE(m_pDriver->MonitorVisibilitySet(0, 0, true));
    EXPECT_FALSE(m_pDriver->MonitorVisibilitySet(0, 0, true));
    EXPECT_EQ(Header(Ring).Producer, 3u);
    EXPECT_EQ(Header(Ring).Overflow, 1u);
    ConsumerSet(Ring, 2);  // the library took two
    EXPECT_TRUE(m_pDriver->MonitorVisibilitySet(0, 0, false));
    EXPECT_TRUE(m_pDriver->MonitorVisibilitySet(0, 0, false));
    EXPECT_EQ(Header(Ring).Producer, 1u);  // wrapped
    EXPECT_EQ(Element<NIMBO_MONITOR_EVENT>(Ring, 3).Visible, 0u);
    EXPECT_EQ(Element<NIMBO_MONITOR_EVENT>(Ring, 0).Visible, 0u);
}

TEST_F(SimHookDriverTest, CorruptConsumerIsNeverUsedToAddress) {
    ASSERT_TRUE(Subscribe(0));
    CircularBufferHeader Corrupt{0, 1000, 0, 12, 0};
    ASSERT_TRUE(m_pDriver->RingHeaderWrite(0, 0, SimHookDriver::Ring::MonitorEvents, Corrupt));
    EXPECT_EQ(Header(m_Subscription.pCircularBufferMonitorEvents).CountElements, 0u);  // the process sees it
    EXPECT_FALSE(m_pDriver->MonitorVisibilitySet(0, 0, true));  // dropped, not written somewhere
    CircularBufferHeader Seen{};
    ASSERT_TRUE(m_pDriver->RingHeaderRead(0, 0, SimHookDriver::Ring::MonitorEvents, &Seen));
    EXPECT_EQ(Seen.Overflow, 1u);
}

TEST_F(SimHookDriverTest, MappedFrameBufferShowsThePatternAndTheUpdateRingItsTrueRectangles) {
    ASSERT_TRUE(Plug(0, 640, 480));
    ASSERT_TRUE(Map(0));
    EXPECT_EQ(m_FrameBuffer.Width, 640u);
    EXPECT_EQ(m_FrameBuffer.Height, 480u);
    EXPECT_EQ(m_FrameBuffer.FrameBufferInfo2, SimHookDriver::BitsPerPixel);
    EXPECT_EQ(m_FrameBuffer.FrameBufferInfo3, 60u);
    EXPECT_EQ(m_FrameBuffer.Pitch, 2560u);
    EXPECT_EQ(m_FrameBuffer.Aero, 1u);
    const uint64_t Ring = m_FrameBuffer.pCircularBufferUpdates;
    EXPECT_EQ(Header(Ring).CountElements, 32u);
    EXPECT_EQ(Header(Ring).CountByteElement, 36u);

    RECT Changed{};
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0, 4, &Changed));
    EXPECT_EQ(WaitForSingleObject(m_hEvents[3], 0), WAIT_OBJECT_0);
    EXPECT_EQ(Header(Ring).Producer, 1u);
    const auto Entry = Element<FrameBufferUpdateEntry>(Ring, 0);
    EXPECT_EQ(Entry.Flags, 4u);
    EXPECT_EQ(Entry.RectDestination.left, Changed.left);
    EXPECT_EQ(Entry.RectDestination.right, Changed.right);
    // Only the square moved: the rectangle is far smaller than the frame.
    EXPECT_LT((Changed.right - Changed.left) * (Changed.bottom - Changed.top), 640 * 480 / 8);

    uint32_t Pitch = 0;
    const auto Pixels = m_pDriver->FramePixelsGet(0, 0, &Pitch);
    const auto* pMapped = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(m_FrameBuffer.pFrameBuffer));
    EXPECT_EQ(std::memcmp(pMapped, Pixels.data(), static_cast<size_t>(Pitch) * 480), 0);
    uint32_t Pixel;
    std::memcpy(&Pixel, pMapped + 479 * Pitch + 639 * 4, 4);
    EXPECT_EQ(Pixel, SimFramePattern::BackgroundPixel(639, 479, 640, 480));
}

TEST_F(SimHookDriverTest, PresentedFramesAreCountedAndStampedOnlyWhenAnnounced) {
    ASSERT_TRUE(Plug(0));
    EXPECT_EQ(m_pDriver->FrameCountGet(0, 0), 1u);  // the plug draws the first
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0));      // unmapped: drawn, not announced
    EXPECT_EQ(m_pDriver->FrameCountGet(0, 0), 2u);
    EXPECT_EQ(m_pDriver->FramePublishTicksGet(0, 0), 0);
    ASSERT_TRUE(Map(0));
    LARGE_INTEGER Before;
    QueryPerformanceCounter(&Before);
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0));
    EXPECT_GE(m_pDriver->FramePublishTicksGet(0, 0), Before.QuadPart);
    EXPECT_EQ(m_pDriver->FrameCountGet(0, 0), 3u);
    EXPECT_EQ(m_pDriver->FrameCountGet(0, 1), 0u);  // no monitor
    EXPECT_EQ(m_pDriver->FramePublishTicksGet(0, 1), 0);
}

TEST_F(SimHookDriverTest, OverflowRaiseSignalsTheFrameBufferEvent) {
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(Map(0));
    ASSERT_TRUE(m_pDriver->UpdateRingOverflowRaise(0, 0));
    EXPECT_EQ(Header(m_FrameBuffer.pCircularBufferUpdates).Overflow, 1u);
    EXPECT_EQ(WaitForSingleObject(m_hEvents[3], 0), WAIT_OBJECT_0);
}

TEST_F(SimHookDriverTest, PointerRecordBlocksAndTheirEvents) {
    ASSERT_TRUE(Subscribe(0));
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(Map(0));
    ASSERT_TRUE(m_pDriver->PointerPositionSet(0, 0, -5, 17, true));
    EXPECT_EQ(WaitForSingleObject(m_hEvents[1], 0), WAIT_OBJECT_0);
    ASSERT_TRUE(m_pDriver->PointerShapeSet(0, 0, 32, 16, std::vector<uint8_t>(32 * 16 * 4, 0x7F)));
    EXPECT_EQ(WaitForSingleObject(m_hEvents[2], 0), WAIT_OBJECT_0);
    const auto* pPointer = reinterpret_cast<const PointerInfo*>(static_cast<uintptr_t>(m_FrameBuffer.pPointerInfo));
    EXPECT_EQ(pPointer->X, -5);
    EXPECT_EQ(pPointer->Y, 17);
    EXPECT_EQ(pPointer->Visible, 1);
    EXPECT_EQ(pPointer->Shape.ShapeWidth, 32u);
    EXPECT_EQ(pPointer->Shape.ShapeHeight, 16u);
    EXPECT_EQ(pPointer->Shape.ShapeData[0], 0x7F);
}

TEST_F(SimHookDriverTest, PointerEventsDisabledAreNotSignalled) {
    m_pDriver->PointerEventsEnabledSet(0);
    ASSERT_TRUE(Subscribe(0));
    EXPECT_EQ(m_Subscription.PointerEventsEnabled, 0u);
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(m_pDriver->PointerPositionSet(0, 0, 1, 1, true));
    EXPECT_EQ(WaitForSingleObject(m_hEvents[1], 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(SimHookDriverTest, ZeroCopyHandsOutTheLiveFrameAndAStillSnapshot) {
    ASSERT_TRUE(Plug(0, 320, 200));
    const size_t ViewsBefore = m_pDriver->ViewCount();
    uint64_t pFrame = 0, pAuxiliary = 0;
    uint32_t Pitch = 0, AuxiliaryPitch = 0;
    ASSERT_TRUE(m_Device.IoctlMonitorFrameBufferZeroCopyUpdate(0, 0, &pFrame, &Pitch, &pAuxiliary, &AuxiliaryPitch));
    EXPECT_EQ(m_pDriver->ViewCount(), ViewsBefore + 2);
    const auto* pLive = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(pFrame));
    const auto* pStill = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(pAuxiliary));
    EXPECT_EQ(std::memcmp(pLive, pStill, static_cast<size_t>(Pitch) * 200), 0);
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0));
    uint32_t Pitch2 = 0;
    const auto Pixels = m_pDriver->FramePixelsGet(0, 0, &Pitch2);
    EXPECT_EQ(std::memcmp(pLive, Pixels.data(), Pixels.size()), 0);     // live
    EXPECT_NE(std::memcmp(pStill, Pixels.data(), Pixels.size()), 0);    // still
    ASSERT_TRUE(m_Device.IoctlMonitorFrameBufferZeroCopyUnmap(0, 0, pAuxiliary));
    // The frame address stays valid until the next zero-copy update.
    EXPECT_EQ(m_pDriver->ViewCount(), ViewsBefore + 1);
    EXPECT_EQ(m_pDriver->ZeroCopyMappingCount(0, 0), 0u);
    EXPECT_EQ(std::memcmp(pLive, Pixels.data(), Pixels.size()), 0);
    uint64_t pFrame2 = 0, pAuxiliary2 = 0;
    ASSERT_TRUE(m_Device.IoctlMonitorFrameBufferZeroCopyUpdate(0, 0, &pFrame2, nullptr, &pAuxiliary2, nullptr));
    EXPECT_EQ(m_pDriver->ViewCount(), ViewsBefore + 2);  // the first frame address is gone now
    ASSERT_TRUE(m_Device.IoctlMonitorFrameBufferZeroCopyUnmap(0, 0, pAuxiliary2));
}

struct PersistCase {
    bool bPersist;
    bool bKept;
};

class SimHookDriverPersistTest : public SimHookDriverTest, public ::testing::WithParamInterface<PersistCase> {};

TEST_P(SimHookDriverPersistTest, ClosingTheFileEndsItsMappingsAndMonitorsUnlessPersisted) {
    ASSERT_TRUE(Subscribe(0));
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(Map(0));
    uint64_t pFrame = 0;
    ASSERT_TRUE(m_Device.IoctlMonitorFrameBufferZeroCopyUpdate(0, 0, &pFrame, nullptr, nullptr, nullptr));
    ASSERT_TRUE(m_Device.IoctlMonitorPersistOnClose(GetParam().bPersist));
    ASSERT_GT(m_pDriver->ViewCount(), 0u);
    ASSERT_TRUE(m_Device.Destroy());
    EXPECT_EQ(m_pDriver->ViewCount(), 0u);
    EXPECT_FALSE(m_pDriver->MonitorIsSubscribed(0, 0));
    EXPECT_FALSE(m_pDriver->MonitorIsMapped(0, 0));
    EXPECT_EQ(m_pDriver->MonitorIsPlugged(0, 0), GetParam().bKept);
    EXPECT_EQ(MachineHandlesLiveOfKind("Event"), 4);  // the driver's references are gone

    ASSERT_TRUE(m_Device.Create(kHookPath));
    auto Record = MonitorDescriptionMake(0, 0, 640, 480);
    bool bAlreadyExists = false;
    ASSERT_TRUE(m_Device.IoctlMonitorPlug(Record.data(), 36, &bAlreadyExists));
    EXPECT_EQ(bAlreadyExists, GetParam().bKept);
}

INSTANTIATE_TEST_SUITE_P(Values, SimHookDriverPersistTest,
                         ::testing::Values(PersistCase{false, false}, PersistCase{true, true}));

TEST_F(SimHookDriverTest, UnplugWhileMappedKeepsTheViewsUntilTheFileCloses) {
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(Map(0));
    ASSERT_TRUE(m_Device.IoctlMonitorUnplug(0, 0));
    EXPECT_GT(m_pDriver->ViewCount(), 0u);
    // Still readable: the process has not unmapped it.
    EXPECT_EQ(Header(m_FrameBuffer.pCircularBufferUpdates).CountElements, 32u);
    ASSERT_TRUE(m_Device.Destroy());
    EXPECT_EQ(m_pDriver->ViewCount(), 0u);
}

TEST_F(SimHookDriverTest, RequestLogDecodesTheRecords) {
    ASSERT_TRUE(Plug(2));
    ASSERT_TRUE(m_Device.IoctlMonitorUnplug(0, 2));
    const auto Requests = m_pDriver->Requests().List();
    ASSERT_EQ(Requests.size(), 2u);
    EXPECT_EQ(Requests[1].Decoded,
              L"IoctlMonitorUnplug in=none out=IoctlInfo{AdapterIndex=0 MonitorIndex=2 CountByte=12}");
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorPlug), 1u);
}

TEST_F(SimHookDriverTest, FaultPlanFailsRequestsOfAnyKindAsManyTimesAsAsked) {
    m_pDriver->Faults().FailNext(SimFaultPlan::AnyCode, ERROR_BUSY, 2);
    uint32_t IsActive = 0;
    EXPECT_FALSE(m_Device.IoctlHookDriverAdapterIsActive(0, &IsActive));
    EXPECT_FALSE(m_Device.IoctlMonitorPersistOnClose(true));
    EXPECT_EQ(LastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_TRUE(m_Device.IoctlHookDriverAdapterIsActive(0, &IsActive));
    m_pDriver->Faults().DelayNext(ALIoctlCode::HookDriverAdapterIsActive, 1);
    EXPECT_TRUE(m_Device.IoctlHookDriverAdapterIsActive(0, &IsActive));
}

}  // namespace
