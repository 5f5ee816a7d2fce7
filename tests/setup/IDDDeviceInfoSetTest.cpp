// Limits of IDDDeviceInfoSet::CreateDeviceNode on the hardware id.
#include <gtest/gtest.h>

#include "IDDDeviceInfoSet.h"
#include "SetupMachineFixture.h"

namespace {

struct HardwareIdLengthCase {
    size_t Length;
    DWORD Expected;
};

class IDDDeviceInfoSetHardwareId : public SetupMachineFixture,
                                   public ::testing::WithParamInterface<HardwareIdLengthCase> {};

TEST_P(IDDDeviceInfoSetHardwareId, IdsOf256CharactersOrMoreAreRejected) {
    std::wstring hardwareId = L"Root\\" + std::wstring(GetParam().Length - 5, L'K');
    DWORD dwResult = ERROR_SUCCESS;
    {
        IDDDeviceInfoSet deviceInfoSet;
        dwResult = deviceInfoSet.CreateDeviceNode(kDisplayClass, hardwareId.c_str(), L"Display");
    }
    EXPECT_EQ(dwResult, GetParam().Expected);
    bool bRejected = GetParam().Expected != ERROR_SUCCESS;
    EXPECT_EQ(DevicesWithHardwareId(hardwareId).size(), bRejected ? 0u : 1u);
    EXPECT_EQ(LogContains("IDDDeviceInfoSet::CreateDeviceNode StringCchCopy failed 122"), bRejected);
    // The unregistered element went away with the set.
    EXPECT_EQ(UnregisteredDeviceCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, IDDDeviceInfoSetHardwareId,
                         ::testing::Values(HardwareIdLengthCase{255, ERROR_SUCCESS},
                                           HardwareIdLengthCase{256, ERROR_INSUFFICIENT_BUFFER},
                                           HardwareIdLengthCase{400, ERROR_INSUFFICIENT_BUFFER}));

}  // namespace
