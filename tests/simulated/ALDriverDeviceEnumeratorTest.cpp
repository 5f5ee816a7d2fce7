// The driver device enumerator on the simulated device tree: the running
// check of the high-level API over sets without, with a stopped and with a
// started device, the type check of the status property, the failures of
// SetupAPI, and the interfaces' device paths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DisplayDeviceNode.h"
#include "SimulatedMachine.h"
#include "driver/ALDeviceControlIddCx.h"
#include "driver/ALDriverDeviceEnumerator.h"
#include "library/DebugLevelScope.h"
#include "library/LogLine.h"
#include "platform/DebugCapture.h"
#include "platform/setupapi.h"
#include "support/ALDebugLog.h"

namespace {

const GUID kOtherInterface = {0x12345678, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};
constexpr uint32_t kInterfacePresent = DIGCF_DEVICEINTERFACE | DIGCF_PRESENT;

class ALDriverDeviceEnumeratorTest : public SimulatedMachineTest {
protected:
    void SetUp() override {
        SimulatedMachineTest::SetUp();
        MachineSetupReset();
    }
    void TearDown() override {
        MachineSetupReset();
        SimulatedMachineTest::TearDown();
    }
    static std::wstring DeviceAdd(const GUID& InterfaceClass = ALDeviceControlIddCx::InterfaceClassGuid) {
        return DisplayDeviceNode::Add(InterfaceClass);
    }
    static void StatusSet(const std::wstring& InstanceId, DWORD Status, DEVPROPTYPE Type = DEVPROP_TYPE_UINT32) {
        DisplayDeviceNode::StatusSet(InstanceId, Status, Type);
    }
    // The high-level API's check: members 0, 1, 2, ... until one runs or the
    // walk ends.
    static bool DriverIsRunning(uint32_t* pMembersRead = nullptr) {
        ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid, kInterfacePresent);
        bool bIsRunning = false;
        uint32_t Index = 0;
        while (Enumerator.Enumerate(Index, bIsRunning) && !bIsRunning)
            ++Index;
        if (pMembersRead != nullptr)
            *pMembersRead = Index;
        return bIsRunning;
    }
};

TEST_F(ALDriverDeviceEnumeratorTest, NoDeviceOfTheClassIsNotRunning) {
    DeviceAdd(kOtherInterface);  // present, but with another interface
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_FALSE(DriverIsRunning());
    EXPECT_EQ(Capture.Lines(),
              std::vector<std::wstring>{LogLine(L"ALDriverDeviceEnumerator::Enumerate no more items... 0\n")});
}

TEST_F(ALDriverDeviceEnumeratorTest, DeviceThatDidNotStartIsReadButNotRunning) {
    DeviceAdd();
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid, kInterfacePresent);
    bool bIsRunning = true;
    EXPECT_TRUE(Enumerator.Enumerate(0, bIsRunning));
    EXPECT_FALSE(bIsRunning);  // the node has a problem: no driver
    EXPECT_FALSE(Enumerator.Enumerate(1, bIsRunning));
    EXPECT_EQ(Capture.Lines(),
              std::vector<std::wstring>{LogLine(L"ALDriverDeviceEnumerator::Enumerate no more items... 1\n")});
    Capture.Clear();
    EXPECT_FALSE(DriverIsRunning());
}

TEST_F(ALDriverDeviceEnumeratorTest, StartedDeviceEndsTheCheckWithoutErrorLine) {
    StatusSet(DeviceAdd(), DN_ROOT_ENUMERATED | DN_DRIVER_LOADED | DN_STARTED);
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    uint32_t MembersRead = 99;
    EXPECT_TRUE(DriverIsRunning(&MembersRead));
    EXPECT_EQ(MembersRead, 0u);
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST_F(ALDriverDeviceEnumeratorTest, StartedDeviceAfterAStoppedOneIsFound) {
    DeviceAdd();
    StatusSet(DeviceAdd(), DN_STARTED);
    uint32_t MembersRead = 0;
    EXPECT_TRUE(DriverIsRunning(&MembersRead));
    EXPECT_EQ(MembersRead, 1u);
}

TEST_F(ALDriverDeviceEnumeratorTest, StatusOfAnotherTypeEndsTheWalkWithTheTypeLine) {
    StatusSet(DeviceAdd(), DN_STARTED, DEVPROP_TYPE_STRING);
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_FALSE(DriverIsRunning());
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(
                                   L"ALDriverDeviceEnumerator::Enumerate SetupDiEnumDeviceInfo failed! "
                                   L"DEVPROP_TYPE_UINT32 != PropertyType (0x7 != 0x12)\n")});
}

TEST_F(ALDriverDeviceEnumeratorTest, StatusThatCannotBeReadIsReportedWithTheIndex) {
    DeviceAdd();
    ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid, kInterfacePresent);
    MachineSetupReset();  // the device goes after the snapshot was taken
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    bool bIsRunning = false;
    EXPECT_FALSE(Enumerator.Enumerate(0, bIsRunning));
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(
                                   L"ALDriverDeviceEnumerator::Enumerate SetupDiGetDeviceProperty (2) failed! 0 "
                                   L"Last error: " + std::to_wstring(static_cast<int>(ERROR_NO_SUCH_DEVINST)) + L"\n")});
}

TEST_F(ALDriverDeviceEnumeratorTest, FailedConstructionShowsInTheLaterCalls) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid, 0x10000);
    bool bIsRunning = false;
    EXPECT_FALSE(Enumerator.Enumerate(0, bIsRunning));
    EXPECT_EQ(Capture.Lines(),
              (std::vector<std::wstring>{LogLine(L"SetupDiGetClassDevs failed! Last error: 1004\n"),
                                         LogLine(L"ALDriverDeviceEnumerator::Enumerate SetupDiEnumDeviceInfo failed! 0 "
                                                 L"Last error: 6\n")}));
}

TEST_F(ALDriverDeviceEnumeratorTest, SymbolicLinkIsTheInterfacesDevicePath) {
    const std::wstring InstanceId = DeviceAdd();
    ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid, kInterfacePresent);
    std::wstring SymbolicLink = L"unchanged";
    ASSERT_TRUE(Enumerator.SymbolicLinkNameGet(0, SymbolicLink));
    EXPECT_EQ(SymbolicLink, L"\\\\?\\ROOT#DISPLAY#0000#{017f0ac2-a4de-4694-abad-acc3e0a159d3}");
    EXPECT_EQ(InstanceId, L"ROOT\\DISPLAY\\0000");
}

TEST_F(ALDriverDeviceEnumeratorTest, EndOfTheInterfacesIsSilentAndLeavesTheLink) {
    DeviceAdd();
    ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid, kInterfacePresent);
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    std::wstring SymbolicLink = L"unchanged";
    EXPECT_FALSE(Enumerator.SymbolicLinkNameGet(1, SymbolicLink));
    EXPECT_EQ(SymbolicLink, L"unchanged");
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST_F(ALDriverDeviceEnumeratorTest, SymbolicLinkOnAFailedSetIsReported) {
    ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid, 0x10000);
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    std::wstring SymbolicLink;
    EXPECT_FALSE(Enumerator.SymbolicLinkNameGet(0, SymbolicLink));
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(
                                   L"ALDriverDeviceEnumerator::SymbolicLinkNameGet SetupDiEnumDeviceInterfaces failed! 6\n")});
}

// The SetupAPI side the enumerator relies on, as the documentation gives it.
TEST_F(ALDriverDeviceEnumeratorTest, InterfaceDetailReportsItsSizeWithoutBuffer) {
    DeviceAdd();
    HDEVINFO hSet = SetupDiGetClassDevsW(&ALDeviceControlIddCx::InterfaceClassGuid, nullptr, nullptr, kInterfacePresent);
    SP_DEVICE_INTERFACE_DATA Interface{};
    Interface.cbSize = sizeof(Interface);
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(hSet, nullptr, &ALDeviceControlIddCx::InterfaceClassGuid, 0, &Interface));
    EXPECT_EQ(Interface.Flags, static_cast<DWORD>(SPINT_ACTIVE));
    DWORD Required = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(hSet, &Interface, nullptr, 0, &Required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    const std::wstring Path = L"\\\\?\\ROOT#DISPLAY#0000#{017f0ac2-a4de-4694-abad-acc3e0a159d3}";
    EXPECT_EQ(Required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + (Path.size() + 1) * sizeof(WCHAR));
    std::vector<uint8_t> Buffer(Required);
    auto* pDetail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(Buffer.data());
    pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) + 2;  // not the fixed part's size
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(hSet, &Interface, pDetail, Required, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA Device{};
    Device.cbSize = sizeof(Device);
    EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailW(hSet, &Interface, pDetail, Required, nullptr, &Device));
    EXPECT_EQ(std::wstring(pDetail->DevicePath), Path);
    EXPECT_TRUE(Device.ClassGuid == DisplayDeviceNode::kDisplayClass);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(hSet));
}

TEST_F(ALDriverDeviceEnumeratorTest, InterfaceSetHoldsOnlyDevicesWithTheInterface) {
    DeviceAdd(kOtherInterface);
    DeviceAdd();
    HDEVINFO hSet = SetupDiGetClassDevsW(&ALDeviceControlIddCx::InterfaceClassGuid, nullptr, nullptr, kInterfacePresent);
    SP_DEVINFO_DATA Device{};
    Device.cbSize = sizeof(Device);
    ASSERT_TRUE(SetupDiEnumDeviceInfo(hSet, 0, &Device));
    wchar_t InstanceId[64] = {};
    ASSERT_TRUE(SetupDiGetDeviceInstanceIdW(hSet, &Device, InstanceId, 64, nullptr));
    EXPECT_EQ(std::wstring(InstanceId), L"ROOT\\DISPLAY\\0001");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(hSet, 1, &Device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    DEVPROPTYPE Type = 0;
    DWORD Status = 0;
    EXPECT_TRUE(SetupDiGetDevicePropertyW(hSet, &Device, &DisplayDeviceNode::kDevNodeStatus, &Type, reinterpret_cast<PBYTE>(&Status),
                                          sizeof(Status), nullptr, 0));
    EXPECT_EQ(Type, static_cast<DEVPROPTYPE>(DEVPROP_TYPE_UINT32));
    EXPECT_EQ(Status & DN_STARTED, 0u);
    EXPECT_NE(Status & DN_HAS_PROBLEM, 0u);
    SetupDiDestroyDeviceInfoList(hSet);
}

}  // namespace
