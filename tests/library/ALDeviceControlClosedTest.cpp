// Every request wrapper of both control classes on a device that is not
// open: DeviceIoControl refuses the closed handle (ERROR_INVALID_HANDLE), the
// wrapper logs its entry and failure texts and returns false. Runs on every
// build, Wine included.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DebugLevelScope.h"
#include "LogLine.h"
#include "driver/ALDeviceControlHook.h"
#include "driver/ALDeviceControlIddCx.h"
#include "platform/DebugCapture.h"
#include "platform/win32.h"
#include "support/ALDebugLog.h"

namespace {

const wchar_t kMissingDevicePath[] = L"\\\\.\\NimboNoSuchControlDevice";

struct HookCase {
    const char* pName;
    std::function<bool(ALDeviceControlHook&)> Call;
    const wchar_t* pEntryText;  // null: none
    const wchar_t* pFailureName;
};

uint8_t g_Record[36] = {0, 0, 0, 0, 7, 0, 0, 0};

const HookCase kHookCases[] = {
    {"MonitorPlug", [](ALDeviceControlHook& D) { bool b = true; bool r = D.IoctlMonitorPlug(g_Record, 36, &b); return r || b; },
     L"ALDeviceControlHook::IoctlMonitorPlug m_MonitorIndex 7\n", L"IoctlMonitorPlug"},
    {"MonitorUnplug", [](ALDeviceControlHook& D) { return D.IoctlMonitorUnplug(0, 2); },
     L"ALDeviceControlHook::IoctlMonitorUnplug m_MonitorIndex 2\n", L"IoctlMonitorUnplug"},
    {"MonitorEdidSet", [](ALDeviceControlHook& D) { return D.IoctlMonitorEdidSet(g_Record, 36); },
     L"ALDeviceControlHook::IoctlMonitorEdidSet m_MonitorIndex 7\n", L"IoctlMonitorEdidSet"},
    {"MonitorEventsSubscribe",
     [](ALDeviceControlHook& D) {
         EventsSubscribeInfo Info{};
         return D.IoctlMonitorEventsSubscribe(0, 1, nullptr, nullptr, nullptr, &Info);
     },
     L"ALDeviceControlHook::IoctlMonitorEventsSubscribe m_MonitorIndex 1\n", L"IoctlMonitorEventsSubscribe"},
    {"MonitorEventUnsubscribe",
     [](ALDeviceControlHook& D) { return D.IoctlMonitorEventUnsubscribe(0, 1, nullptr, nullptr, nullptr, 0x1000); },
     L"ALDeviceControlHook::IoctlMonitorEventUnsubscribe m_MonitorIndex 1\n", L"IoctlMonitorEventUnsubscribe"},
    {"MonitorFrameBufferMap",
     [](ALDeviceControlHook& D) {
         IoctlInfoMonitorFrameBuffer Info{};
         return D.IoctlMonitorFrameBufferMap(0, 2, nullptr, &Info);
     },
     L"ALDeviceControlHook::IoctlMonitorFrameBufferMap m_MonitorIndex 2\n", L"IoctlMonitorFrameBufferMap"},
    {"MonitorFrameBufferUnmap", [](ALDeviceControlHook& D) { return D.IoctlMonitorFrameBufferUnmap(0, 2, nullptr, 0x2000); },
     L"ALDeviceControlHook::IoctlMonitorFrameBufferUnmap m_MonitorIndex 2\n", L"IoctlMonitorFrameBufferUnmap"},
    {"MonitorFrameBufferZeroCopyUnmap",
     [](ALDeviceControlHook& D) { return D.IoctlMonitorFrameBufferZeroCopyUnmap(0, 1, 0x3000); },
     L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUnmap m_MonitorIndex 1\n",
     L"IoctlMonitorFrameBufferZeroCopyUnmap"},
    {"MonitorFrameBufferZeroCopyUpdate",
     [](ALDeviceControlHook& D) {
         uint64_t pFrame = 5, pAuxiliary = 5;
         uint32_t Pitch = 5, AuxiliaryPitch = 5;
         const bool bResult = D.IoctlMonitorFrameBufferZeroCopyUpdate(0, 1, &pFrame, &Pitch, &pAuxiliary, &AuxiliaryPitch);
         // A failed request leaves the results alone.
         return bResult || pFrame != 5 || Pitch != 5 || pAuxiliary != 5 || AuxiliaryPitch != 5;
     },
     L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUpdate m_MonitorIndex 1\n",
     L"IoctlMonitorFrameBufferZeroCopyUpdate"},
    {"HookDriverAdapterIsActive",
     [](ALDeviceControlHook& D) {
         uint32_t IsActive = 0;
         return D.IoctlHookDriverAdapterIsActive(3, &IsActive);
     },
     L"ALDeviceControlHook::IoctlHookDriverAdapterIsActive AdapterIndex:3\n", L"IoctlHookDriverAdapterIsActive"},
    {"MonitorPersistOnClose", [](ALDeviceControlHook& D) { return D.IoctlMonitorPersistOnClose(true); },
     L"ALDeviceControlHook::IoctlMonitorPersistOnClose\n", L"IoctlMonitorPersistOnClose"},
};

class ALDeviceControlHookClosedTest : public ::testing::TestWithParam<HookCase> {};

TEST_P(ALDeviceControlHookClosedTest, FailsWithEntryAndFailureTexts) {
    const HookCase& Case = GetParam();
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_DRIVER_CONTROL);
    ALDeviceControlHook Device;
    DebugCapture Capture;
    EXPECT_FALSE(Case.Call(Device));
    const std::wstring Failure = std::wstring(L"ALDeviceControlHook::") + Case.pFailureName +
                                 L" DeviceIoControl failed! GetLastErrorReturned: 6\n";
    EXPECT_EQ(Capture.Lines(), (std::vector<std::wstring>{LogLine(Case.pEntryText), LogLine(Failure)}));
}

TEST_P(ALDeviceControlHookClosedTest, OnlyTheFailureTextAtErrorLevel) {
    const HookCase& Case = GetParam();
    DebugLevelScope Level(AL_DEBUG_ERROR);
    ALDeviceControlHook Device;
    DebugCapture Capture;
    EXPECT_FALSE(Case.Call(Device));
    ASSERT_EQ(Capture.Lines().size(), 1u);
    EXPECT_NE(Capture.Lines()[0].find(L"DeviceIoControl failed!"), std::wstring::npos);
}

INSTANTIATE_TEST_SUITE_P(Wrappers, ALDeviceControlHookClosedTest, ::testing::ValuesIn(kHookCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

struct IddCxCase {
    const char* pName;
    std::function<bool(ALDeviceControlIddCx&)> Call;
    const wchar_t* pEntryText;  // null: none
    const wchar_t* pFailureName;
};

const IddCxCase kIddCxCases[] = {
    {"MonitorPlug",
     [](ALDeviceControlIddCx& D) {
         MonitorPlugInfoOut Out{};
         return D.IoctlMonitorPlug(g_Record, 36, &Out);
     },
     L"ALDeviceControlIddCx::IoctlMonitorPlug m_MonitorIndex 7\n", L"IoctlMonitorPlug"},
    {"MonitorUnplug", [](ALDeviceControlIddCx& D) { return D.IoctlMonitorUnplug(1); },
     L"ALDeviceControlIddCx::IoctlMonitorUnplug m_MonitorIndex 1\n", L"IoctlMonitorUnplug"},
    {"MonitorFrameBufferEventsSubscribe",
     [](ALDeviceControlIddCx& D) {
         MonitorFrameBufferEventsInfo Out{};
         return D.IoctlMonitorFrameBufferEventsSubscribe(2, &Out);
     },
     L"ALDeviceControlIddCx::IoctlMonitorFrameBufferEventsSubscribe m_MonitorIndex 2\n",
     L"IoctlMonitorFrameBufferEventsSubscribe"},
    {"MonitorSwapchainEventsRetrieve",
     [](ALDeviceControlIddCx& D) {
         MonitorSwapchainEvent Out{};
         return D.IoctlMonitorSwapchainEventsRetrieve(0, &Out);
     },
     L"ALDeviceControlIddCx::IoctlMonitorSwpachainEventRetrieve m_MonitorIndex 0\n",
     L"IoctlMonitorSwapchainEventsRetrieve"},
    {"MonitorFrameBufferDirectXAcquire",
     [](ALDeviceControlIddCx& D) {
         DirectXData Out{};
         DWORD BytesReturned = 0;
         return D.IoctlMonitorFrameBufferDirectXAcquire(1, &Out, &BytesReturned);
     },
     L"ALDeviceControlIddCx::IoctlMonitorFrameBufferDirectXAcquire MonitorIndex 1\n",
     L"IoctlMonitorFrameBufferDirectXAcquire"},
    {"MonitorPersistOnClose", [](ALDeviceControlIddCx& D) { return D.IoctlMonitorPersistOnClose(false); },
     L"ALDeviceControlIddCx::IoctlMonitorPersistOnClose\n", L"IoctlMonitorPersistOnClose"},
    {"ProcessApplicationHandleSet", [](ALDeviceControlIddCx& D) { return D.PrivateIoctlProcessApplicationHandleSet(); },
     nullptr, L"PrivateIoctlProcessApplicationHandleSet"},
};

class ALDeviceControlIddCxClosedTest : public ::testing::TestWithParam<IddCxCase> {};

TEST_P(ALDeviceControlIddCxClosedTest, FailsWithEntryAndFailureTexts) {
    const IddCxCase& Case = GetParam();
    DebugLevelScope Level(AL_DEBUG_ERROR | AL_DEBUG_DRIVER_CONTROL);
    ALDeviceControlIddCx Device;
    DebugCapture Capture;
    EXPECT_FALSE(Case.Call(Device));
    std::vector<std::wstring> Expected;
    if (Case.pEntryText != nullptr)
        Expected.push_back(LogLine(Case.pEntryText));
    Expected.push_back(LogLine(std::wstring(L"ALDeviceControlIddCx::") + Case.pFailureName +
                               L" DeviceIoControl failed! GetLastErrorReturned: 6\n"));
    EXPECT_EQ(Capture.Lines(), Expected);
}

INSTANTIATE_TEST_SUITE_P(Wrappers, ALDeviceControlIddCxClosedTest, ::testing::ValuesIn(kIddCxCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST(ALDeviceControlIddCxWithoutDriver, CreateFailsWithBothTexts) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    ALDeviceControlIddCx Device;
    DebugCapture Capture;
    EXPECT_FALSE(Device.Create(kMissingDevicePath));
    EXPECT_FALSE(Device.IsOpen());
    EXPECT_EQ(Capture.Lines(),
              (std::vector<std::wstring>{
                  LogLine(L"ALDeviceBase::Create CreateFile failed! \\\\.\\NimboNoSuchControlDevice "
                          L"GetLastErrorReturned: 2\n"),
                  LogLine(L" ALDeviceControlIddCx::Create failed! IddCx driver not available")}));
}

TEST(ALDeviceControlIddCxWithoutDriver, DestroyTwiceFailsTwiceWithBothTexts) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    ALDeviceControlIddCx Device;
    DebugCapture Capture;
    EXPECT_FALSE(Device.Destroy());
    EXPECT_FALSE(Device.Destroy());
    const std::wstring Closed = LogLine(L"ALDeviceBase::Destroy error already closed!\n");
    const std::wstring Failed = LogLine(L" ALDeviceControlIddCx::Destroy failed!");
    EXPECT_EQ(Capture.Lines(), (std::vector<std::wstring>{Closed, Failed, Closed, Failed}));
}

TEST(ALDeviceControlIddCxWithoutDriver, RemovalNoticeForItsOwnHandleIsItsOwn) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    ALDeviceControlIddCx Device;
    DebugCapture Capture;
    EXPECT_TRUE(Device.OnPnPNotificationDeviceRemoval(Device.HandleGet()));
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST(ALDeviceControlIddCxWithoutDriver, RemovalNoticeForAnotherHandleLogsBothValues) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    ALDeviceControlIddCx Device;
    DebugCapture Capture;
    EXPECT_FALSE(Device.OnPnPNotificationDeviceRemoval(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234))));
    EXPECT_EQ(Capture.Lines(),
              std::vector<std::wstring>{
                  LogLine(L"ALDeviceControlIddCx::OnPnPNotificationDeviceRemoval failed! 0x1234 != 0xffffffff (own)")});
}

}  // namespace
