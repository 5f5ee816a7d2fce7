// The driver device enumerator where the indirect display driver was never
// installed: the walk ends at once. Runs on every build, Wine included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DebugLevelScope.h"
#include "LogLine.h"
#include "driver/ALDeviceControlIddCx.h"
#include "driver/ALDriverDeviceEnumerator.h"
#include "platform/DebugCapture.h"
#include "platform/setupapi.h"
#include "support/ALDebugLog.h"

namespace {

constexpr uint32_t kInterfacePresent = 0x12;  // DIGCF_DEVICEINTERFACE | DIGCF_PRESENT

TEST(ALDriverDeviceEnumeratorAbsent, WalkEndsWithTheNoMoreItemsLine) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid, kInterfacePresent);
    bool bIsRunning = false;
    EXPECT_FALSE(Enumerator.Enumerate(0, bIsRunning));
    EXPECT_FALSE(bIsRunning);
    EXPECT_EQ(Capture.Lines(),
              std::vector<std::wstring>{LogLine(L"ALDriverDeviceEnumerator::Enumerate no more items... 0\n")});
}

TEST(ALDriverDeviceEnumeratorAbsent, NoSymbolicLinkAndNoLine) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALDriverDeviceEnumerator Enumerator(ALDeviceControlIddCx::InterfaceClassGuid, kInterfacePresent);
    std::wstring SymbolicLink = L"unchanged";
    EXPECT_FALSE(Enumerator.SymbolicLinkNameGet(0, SymbolicLink));
    EXPECT_EQ(SymbolicLink, L"unchanged");
    EXPECT_TRUE(Capture.Lines().empty());
}

}  // namespace
