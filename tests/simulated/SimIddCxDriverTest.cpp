// The simulated indirect display driver as the library meets it: its answers
// to wrong requests, the swap-chain event queue, frame-buffer events and the
// acquisition of frames as shared textures, persist-on-close.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SimulatedMachine.h"
#include "driver/ALDeviceControlIddCx.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"
#include "sim/SimIddCxDriver.h"

namespace {

const wchar_t kIddCxPath[] = L"\\\\.\\NimboIndirectCtrlkorvaxHalden";

class SimIddCxDriverTest : public SimulatedMachineTest {
public:
    void SetUp() override {
        SimulatedMachineTest::SetUp();
        m_pDriver = SimIddCxDriver::Install();
        ASSERT_NE(m_pDriver, nullptr);
        ASSERT_TRUE(m_Device.Create(kIddCxPath));
    }
    void TearDown() override {
        for (HANDLE hHandle : m_Received)
            CloseHandle(hHandle);
        m_Device.Destroy();
        SimulatedMachineTest::TearDown();
    }
    HANDLE Received(uint64_t Value) {
        HANDLE hHandle = ALRecordField::HandleFrom(Value);
        if (hHandle != nullptr)
            m_Received.push_back(hHandle);
        return hHandle;
    }
    bool Plug(uint32_t MonitorIndex, uint32_t Width = 320, uint32_t Height = 200) {
        auto Record = MonitorDescriptionMake(0, MonitorIndex, Width, Height);
        MonitorPlugInfoOut Out{};
        const bool bResult = m_Device.IoctlMonitorPlug(Record.data(), 36, &Out);
        m_hSwapchainChanged = Received(Out.hEventSwapchainChanged);
        return bResult;
    }
    MonitorSwapchainEvent Retrieve(uint32_t MonitorIndex) {
        MonitorSwapchainEvent Event{};
        EXPECT_TRUE(m_Device.IoctlMonitorSwapchainEventsRetrieve(MonitorIndex, &Event));
        return Event;
    }
    DWORD Acquire(uint32_t MonitorIndex, DirectXData* pData) {
        DWORD BytesReturned = 0;
        EXPECT_TRUE(m_Device.IoctlMonitorFrameBufferDirectXAcquire(MonitorIndex, pData, &BytesReturned));
        return BytesReturned;
    }
    DWORD LastError() {
        auto Requests = m_pDriver->Requests().List();
        return Requests.empty() ? 0xFFFFFFFF : Requests.back().Error;
    }

    std::shared_ptr<SimIddCxDriver> m_pDriver;
    ALDeviceControlIddCx m_Device;
    std::vector<HANDLE> m_Received;
    HANDLE m_hSwapchainChanged = nullptr;
};

using Fixture = SimIddCxDriverTest;

struct RefusalCase {
    const char* pName;
    std::function<void(Fixture&)> Request;
    DWORD dwError;
};

DWORD RawOnNewFile(DWORD Code, const void* pInput, DWORD CountByteInput, void* pOutput, DWORD CountByteOutput) {
    HANDLE hFile = CreateFileW(kIddCxPath, GENERIC_ALL, 3, nullptr, OPEN_EXISTING, 0x80, nullptr);
    DWORD BytesReturned = 0;
    const DWORD dwError = DeviceIoControl(hFile, Code, const_cast<void*>(pInput), CountByteInput, pOutput,
                                          CountByteOutput, &BytesReturned, nullptr)
                              ? ERROR_SUCCESS
                              : GetLastError();
    CloseHandle(hFile);
    return dwError;
}

const RefusalCase kRefusalCases[] = {
    {"PlugBeforeTheIntroduction",
     [](Fixture&) {
         auto R = MonitorDescriptionMake(0, 0, 320, 200);
         MonitorPlugInfoOut Out;
         RawOnNewFile(ALIoctlCode::MonitorPlug, R.data(), 36, &Out, 24);
     },
     ERROR_INVALID_HANDLE},
    {"IntroductionOfAnotherProcess",
     [](Fixture&) {
         SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                         nullptr);
         const uint32_t Pid = GetCurrentProcessId() + 1;
         RawOnNewFile(ALIoctlCode::ProcessApplicationHandleSet, &Pid, 4, nullptr, 0);
     },
     ERROR_INVALID_PARAMETER},
    {"IntroductionWhileTheProcessIsClosedToTheDriver",
     [](Fixture&) {
         const uint32_t Pid = GetCurrentProcessId();
         RawOnNewFile(ALIoctlCode::ProcessApplicationHandleSet, &Pid, 4, nullptr, 0);
     },
     ERROR_ACCESS_DENIED},
    {"PlugPastTheSlots", [](Fixture& F) { F.Plug(3); }, ERROR_INVALID_PARAMETER},
    {"PlugWithShortOutput",
     [](Fixture& F) {
         auto R = MonitorDescriptionMake(0, 0, 320, 200);
         MonitorPlugInfoOut Out;
         DWORD Bytes;
         DeviceIoControl(F.m_Device.HandleGet(), ALIoctlCode::MonitorPlug, R.data(), 36, &Out, 16, &Bytes, nullptr);
     },
     ERROR_INSUFFICIENT_BUFFER},
    {"UnplugWithoutMonitor", [](Fixture& F) { F.m_Device.IoctlMonitorUnplug(0); }, ERROR_DEVICE_NOT_CONNECTED},
    {"UnplugPastTheSlots", [](Fixture& F) { F.m_Device.IoctlMonitorUnplug(7); }, ERROR_INVALID_PARAMETER},
    {"RetrieveWithoutMonitor",
     [](Fixture& F) {
         MonitorSwapchainEvent E;
         F.m_Device.IoctlMonitorSwapchainEventsRetrieve(1, &E);
     },
     ERROR_DEVICE_NOT_CONNECTED},
    {"SubscribeWithoutMonitor",
     [](Fixture& F) {
         MonitorFrameBufferEventsInfo I;
         F.m_Device.IoctlMonitorFrameBufferEventsSubscribe(1, &I);
     },
     ERROR_DEVICE_NOT_CONNECTED},
    {"AcquireWithoutOutput",
     [](Fixture& F) {
         F.Plug(0);
         DWORD Bytes;
         F.m_Device.IoctlMonitorFrameBufferDirectXAcquire(0, nullptr, &Bytes);
     },
     ERROR_INSUFFICIENT_BUFFER},
    {"UnknownCode",
     [](Fixture& F) {
         uint32_t IsActive;
         DWORD Bytes;
         const uint32_t Adapter = 0;
         DeviceIoControl(F.m_Device.HandleGet(), ALIoctlCode::HookDriverAdapterIsActive, const_cast<uint32_t*>(&Adapter),
                         4, &IsActive, 4, &Bytes, nullptr);
     },
     ERROR_INVALID_FUNCTION},
};

class SimIddCxDriverRefusalTest : public SimIddCxDriverTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SimIddCxDriverRefusalTest, AnswersWithItsError) {
    GetParam().Request(*this);
    EXPECT_EQ(LastError(), GetParam().dwError) << m_pDriver->Requests().List().back().Decoded;
}

INSTANTIATE_TEST_SUITE_P(Cases, SimIddCxDriverRefusalTest, ::testing::ValuesIn(kRefusalCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(SimIddCxDriverTest, SwapchainEventsComeOneByOneWithTheirRenderAdapters) {
    ASSERT_TRUE(Plug(0));
    EXPECT_EQ(WaitForSingleObject(m_hSwapchainChanged, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(m_hSwapchainChanged));
    ASSERT_TRUE(m_pDriver->SwapchainUnassign(0));
    ASSERT_TRUE(m_pDriver->SwapchainAssign(0, LUID{0x5150, 1}));
    EXPECT_EQ(WaitForSingleObject(m_hSwapchainChanged, 0), WAIT_OBJECT_0);
    EXPECT_EQ(m_pDriver->SwapchainEventsPending(0), 3u);

    const auto First = Retrieve(0);
    EXPECT_EQ(First.EventType, static_cast<uint32_t>(NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_ASSIGNED));
    EXPECT_EQ(First.RenderAdapterLuid.LowPart, 0xD3D0u);
    EXPECT_EQ(Retrieve(0).EventType, static_cast<uint32_t>(NIMBO_MONITOR_EVENT_TYPE_IDDCX_SWAPCHAIN_UNASSIGNED));
    const auto Third = Retrieve(0);
    EXPECT_EQ(Third.EventPresent, 1u);
    EXPECT_EQ(Third.RenderAdapterLuid.LowPart, 0x5150u);
    EXPECT_EQ(Third.RenderAdapterLuid.HighPart, 1);
    EXPECT_EQ(Retrieve(0).EventPresent, 0u);
    EXPECT_TRUE(m_pDriver->SwapchainIsAssigned(0));
}

TEST_F(SimIddCxDriverTest, FramesArriveAsSharedTexturesWithTheirRectangles) {
    ASSERT_TRUE(Plug(1, 320, 200));
    MonitorFrameBufferEventsInfo Info{};
    ASSERT_TRUE(m_Device.IoctlMonitorFrameBufferEventsSubscribe(1, &Info));
    HANDLE hAvailable = Received(Info.hEventFramebufferAvailable);
    EXPECT_EQ(Info.FrameBufferInfo.Width, 320u);
    EXPECT_EQ(Info.FrameBufferInfo.Height, 200u);
    EXPECT_EQ(Info.FrameBufferInfo.Value2, SimIddCxDriver::BitsPerPixel);
    EXPECT_EQ(Info.FrameBufferInfo.Value3, 60u);
    DirectXData Data{};
    EXPECT_EQ(Acquire(1, &Data), 0u);  // nothing presented yet

    RECT First{};
    ASSERT_TRUE(m_pDriver->FramePresent(1, &First));
    EXPECT_EQ(WaitForSingleObject(hAvailable, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(hAvailable, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // auto reset
    ASSERT_EQ(Acquire(1, &Data), 24u);
    EXPECT_EQ(Data.UpdateRectangle.right, 320);  // the first frame is whole
    HANDLE hResource = Received(Data.hResourceShared);
    auto pTexture = std::dynamic_pointer_cast<MachineSharedTexture>(MachineSharedResourceFromHandle(hResource));
    ASSERT_NE(pTexture, nullptr);
    EXPECT_EQ(pTexture->Format, SimIddCxDriver::FrameFormat);
    EXPECT_EQ(pTexture->AdapterLuid.LowPart, 0xD3D0u);
    uint32_t Pixel;
    std::memcpy(&Pixel, pTexture->Pixels.data() + 199 * pTexture->Pitch + 319 * 4, 4);
    EXPECT_EQ(Pixel, m_pDriver->FramePixelGet(1, 319, 199));
    EXPECT_EQ(Acquire(1, &Data), 0u);  // handed out once

    RECT Second{}, Third{};
    ASSERT_TRUE(m_pDriver->FramePresent(1, &Second));
    ASSERT_TRUE(m_pDriver->FramePresent(1, &Third));
    ASSERT_EQ(Acquire(1, &Data), 24u);  // the newest frame, with both changes
    Received(Data.hResourceShared);
    EXPECT_EQ(Data.UpdateRectangle.left, std::min(Second.left, Third.left));
    EXPECT_EQ(Data.UpdateRectangle.right, std::max(Second.right, Third.right));
}

TEST_F(SimIddCxDriverTest, TextureIsReusedOnlyWhenNothingHoldsItAnyMore) {
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    DirectXData Data{};
    ASSERT_EQ(Acquire(0, &Data), 24u);
    HANDLE hResource = ALRecordField::HandleFrom(Data.hResourceShared);
    EXPECT_EQ(m_pDriver->TexturesInUseCount(), 1u);
    auto pHeld = MachineSharedResourceFromHandle(hResource);
    ASSERT_TRUE(CloseHandle(hResource));
    EXPECT_EQ(m_pDriver->TexturesInUseCount(), 1u);  // an opened resource still holds it
    pHeld.reset();
    EXPECT_EQ(m_pDriver->TexturesInUseCount(), 0u);
}

TEST_F(SimIddCxDriverTest, FrameCountGrowsOnlyWithPresentedFrames) {
    EXPECT_EQ(m_pDriver->FrameCountGet(0), 0u);  // no monitor
    ASSERT_TRUE(Plug(0));
    EXPECT_EQ(m_pDriver->FrameCountGet(0), 0u);
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    EXPECT_EQ(m_pDriver->FrameCountGet(0), 2u);
    ASSERT_TRUE(m_pDriver->SwapchainUnassign(0));
    EXPECT_FALSE(m_pDriver->FramePresent(0));
    EXPECT_EQ(m_pDriver->FrameCountGet(0), 2u);
}

TEST_F(SimIddCxDriverTest, UnassignedSwapchainDropsThePendingFrame) {
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(m_pDriver->FramePresent(0));
    ASSERT_TRUE(m_pDriver->SwapchainUnassign(0));
    EXPECT_FALSE(m_pDriver->FrameIsPending(0));
    EXPECT_FALSE(m_pDriver->FramePresent(0));
    DirectXData Data{};
    EXPECT_EQ(Acquire(0, &Data), 0u);
}

TEST_F(SimIddCxDriverTest, PresentOfAGivenRectangleAnnouncesItAsIs) {
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(m_pDriver->FramePresentRect(0, RECT{0, 0, 0, 0}));
    DirectXData Data{};
    ASSERT_EQ(Acquire(0, &Data), 24u);
    Received(Data.hResourceShared);
    EXPECT_EQ(Data.UpdateRectangle.right, 0);
    EXPECT_EQ(Data.UpdateRectangle.bottom, 0);
}

TEST_F(SimIddCxDriverTest, HandedOutHandlesAreTheProcessesOwn) {
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(CloseHandle(m_hSwapchainChanged));
    m_Received.clear();
    EXPECT_TRUE(m_pDriver->SwapchainAssign(0, LUID{1, 0}));  // the driver keeps its own
    MonitorFrameBufferEventsInfo First{}, Second{};
    ASSERT_TRUE(m_Device.IoctlMonitorFrameBufferEventsSubscribe(0, &First));
    ASSERT_TRUE(m_Device.IoctlMonitorFrameBufferEventsSubscribe(0, &Second));  // a new subscription, a new handle
    EXPECT_NE(Received(First.hEventFramebufferAvailable), Received(Second.hEventFramebufferAvailable));
}

struct PersistCase {
    bool bPersist;
    bool bKept;
};

class SimIddCxDriverPersistTest : public SimIddCxDriverTest, public ::testing::WithParamInterface<PersistCase> {};

TEST_P(SimIddCxDriverPersistTest, ClosingTheFileRemovesItsMonitorsUnlessPersisted) {
    ASSERT_TRUE(Plug(0));
    ASSERT_TRUE(m_Device.IoctlMonitorPersistOnClose(GetParam().bPersist));
    ASSERT_TRUE(m_Device.Destroy());
    EXPECT_EQ(m_pDriver->MonitorIsPlugged(0), GetParam().bKept);
    ASSERT_TRUE(m_Device.Create(kIddCxPath));
    auto Record = MonitorDescriptionMake(0, 0, 320, 200);
    MonitorPlugInfoOut Out{};
    ASSERT_TRUE(m_Device.IoctlMonitorPlug(Record.data(), 36, &Out));
    Received(Out.hEventSwapchainChanged);
    EXPECT_EQ(LastError(), GetParam().bKept ? static_cast<DWORD>(ERROR_ALREADY_EXISTS) : ERROR_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Values, SimIddCxDriverPersistTest,
                         ::testing::Values(PersistCase{false, false}, PersistCase{true, true}));

}  // namespace
