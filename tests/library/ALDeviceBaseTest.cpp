// The device handle base without a driver: the paths every build can run,
// on Windows and Wine as on the simulated machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DebugLevelScope.h"
#include "LogLine.h"
#include "driver/ALDeviceBase.h"
#include "platform/DebugCapture.h"
#include "platform/win32.h"
#include "support/ALDebugLog.h"

namespace {

const wchar_t kMissingDevicePath[] = L"\\\\.\\NimboNoSuchControlDevice";

std::wstring SystemText(DWORD dwCode) {
    LPWSTR pMessage = nullptr;
    const DWORD dwLength =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, dwCode, 0, reinterpret_cast<LPWSTR>(&pMessage), 0, nullptr);
    std::wstring Text = dwLength > 0 ? std::wstring(pMessage, dwLength) : std::wstring();
    LocalFree(pMessage);
    return Text;
}

TEST(ALDeviceBase, StartsClosedWithEmptyStatus) {
    ALDeviceBase Device;
    EXPECT_FALSE(Device.IsOpen());
    EXPECT_EQ(Device.HandleGet(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Device.StatusGet(), L"");
}

TEST(ALDeviceBase, CreateWithoutDeviceFailsWithCodeTwoAndTheSystemText) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALDeviceBase Device;
    EXPECT_FALSE(Device.Create(kMissingDevicePath));
    EXPECT_FALSE(Device.IsOpen());
    EXPECT_EQ(Device.HandleGet(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(
                                   L"ALDeviceBase::Create CreateFile failed! \\\\.\\NimboNoSuchControlDevice "
                                   L"GetLastErrorReturned: 2\n")});
    const std::wstring Expected = SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(Expected.empty());
    EXPECT_EQ(Device.StatusGet(), Expected);
}

TEST(ALDeviceBase, FailedCreateLeavesTheObjectUsable) {
    ALDeviceBase Device;
    EXPECT_FALSE(Device.Create(kMissingDevicePath));
    EXPECT_FALSE(Device.Create(kMissingDevicePath));  // not "already open": it stayed closed
    EXPECT_FALSE(Device.IsOpen());
}

TEST(ALDeviceBase, DestroyTwiceReportsAlreadyClosedEachTime) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALDeviceBase Device;
    EXPECT_FALSE(Device.Create(kMissingDevicePath));
    Capture.Clear();
    EXPECT_FALSE(Device.Destroy());
    EXPECT_FALSE(Device.Destroy());
    const std::wstring Line = LogLine(L"ALDeviceBase::Destroy error already closed!\n");
    EXPECT_EQ(Capture.Lines(), (std::vector<std::wstring>{Line, Line}));
    EXPECT_FALSE(Device.IsOpen());
    EXPECT_EQ(Device.HandleGet(), INVALID_HANDLE_VALUE);
}

TEST(ALDeviceBase, NothingIsLoggedAtOtherLevels) {
    DebugLevelScope Level(AL_DEBUG_DRIVER_CONTROL | AL_DEBUG_PNP);
    DebugCapture Capture;
    ALDeviceBase Device;
    EXPECT_FALSE(Device.Create(kMissingDevicePath));
    EXPECT_FALSE(Device.Destroy());
    EXPECT_TRUE(Capture.Lines().empty());
}

}  // namespace
