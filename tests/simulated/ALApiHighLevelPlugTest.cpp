// The high-level API's plug path on both simulated drivers: the choice of
// the monitor index from the stored index, the indices in use and the
// allowed monitor count; the stored assignment and its key; unplugging and
// enumeration.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ApiHighLevelFixture.h"
#include "driver/ALIoctlCode.h"
#include "library/KeyDaclDescribe.h"

namespace {

const wchar_t* MonitorCountKey(int ApiType) {
    return ApiType == 0 ? L"System\\CurrentControlSet\\Services\\vantorHookKmode"
                        : L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\WUDF\\Services\\vantorDisplayUmode";
}

struct IndexCase {
    const char* Name;
    std::optional<uint32_t> MonitorCount;  // nullopt: no value (the count is 3)
    std::vector<uint32_t> Taken;           // indices of monitors plugged first
    std::optional<uint32_t> Stored;        // nullopt: no stored assignment
    int Expected;                          // the index used; -1: the plug fails
    int LoggedIndex;                       // when it fails: the index the text shows
};

const IndexCase kIndexCases[] = {
    {"FreshSystemTakesZero", std::nullopt, {}, std::nullopt, 0, 0},
    {"StoredFreeIndexWinsOverLowerFreeOnes", std::nullopt, {}, 2, 2, 0},
    {"StoredTakenIndexGivesLowestFree", std::nullopt, {0, 2}, 2, 1, 0},
    {"StoredTakenIndexSkipsTakenLowOnes", std::nullopt, {1, 0}, 1, 2, 0},
    {"FourthPlugWithDefaultCountFails", std::nullopt, {0, 1, 2}, 0, -1, 3},
    {"StoredIndexBeyondCountFailsEvenWithLowerFree", std::nullopt, {}, 7, -1, 7},
    {"CountOneAllowsOnlyOne", 1u, {0}, 0, -1, 1},
    {"CountZeroRefusesEveryPlug", 0u, {}, std::nullopt, -1, 0},
    {"CountFiveAllowsIndexFour", 5u, {0, 1, 2, 3}, 0, 4, 0},
    {"CountFiveRefusesTheSixth", 5u, {0, 1, 2, 3, 4}, 0, -1, 5},
    {"ExplicitCountThreeAsDefault", 3u, {1}, 1, 0, 0},
};

class ALApiHighLevelIndexTest : public ApiHighLevelTest,
                                public ::testing::WithParamInterface<std::tuple<IndexCase, int>> {};

TEST_P(ALApiHighLevelIndexTest, IndexIsChosenAsStoredOrLowestFreeWithinTheCount) {
    const auto& [Case, ApiType] = GetParam();
    if (Case.MonitorCount)
        DwordWrite(MonitorCountKey(ApiType), L"MonitorCount", *Case.MonitorCount, REG_DWORD);
    ASSERT_TRUE(Initialize(ApiType));
    for (uint32_t Index : Case.Taken)
        ASSERT_NE(PlugAt(Index), nullptr) << "setting up index " << Index;
    if (Case.Stored)
        DwordWrite(kAssignmentKey, L"MonitorAssignment", *Case.Stored, REG_BINARY);
    else
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\quillark");
    MachineDebugClear();

    RecordingMonitorInstance* pInstance = Plug();

    const auto Position = static_cast<uint32_t>(Case.Taken.size());
    if (Case.Expected < 0) {
        EXPECT_EQ(pInstance, nullptr);
        EXPECT_TRUE(Logged(L"ALApiHighLevel::DisplayMonitorPlug failed! MenuSettings.MonitorIndex (" +
                           std::to_wstring(Case.LoggedIndex) + L") >= 3\n"));
        EXPECT_EQ(m_pApi->ListGet().ThreadCountGet(), Case.Taken.size()) << "no thread object for a refused index";
        return;
    }
    ASSERT_NE(pInstance, nullptr);
    EXPECT_EQ(MonitorIndexAt(Position), Case.Expected);
    EXPECT_TRUE(DriverHasMonitor(ApiType, static_cast<uint32_t>(Case.Expected)));
    const auto Stored = DwordRead(kAssignmentKey, L"MonitorAssignment");
    ASSERT_TRUE(Stored.has_value());
    EXPECT_EQ(Stored->first, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(Stored->second, static_cast<uint32_t>(Case.Expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, ALApiHighLevelIndexTest,
                         ::testing::Combine(::testing::ValuesIn(kIndexCases), ::testing::Values(0, 1)),
                         [](const auto& Info) {
                             return std::string(std::get<0>(Info.param).Name) +
                                    (std::get<1>(Info.param) == 0 ? "_Hook" : "_Indirect");
                         });

class ALApiHighLevelPlugTest : public ApiHighLevelTest {};

TEST_F(ALApiHighLevelPlugTest, FirstPlugStoresBinaryZeroUnderAKeyOpenToEveryone) {
    ASSERT_TRUE(Initialize(1));
    ASSERT_NE(Plug(), nullptr);
    const auto Stored = DwordRead(kAssignmentKey, L"MonitorAssignment");
    ASSERT_TRUE(Stored.has_value());
    EXPECT_EQ(Stored->first, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(Stored->second, 0u);
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAssignmentKey, 0, KEY_READ, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(DaclDescribe(hKey), kEveryoneDacl);
    RegCloseKey(hKey);
    EXPECT_TRUE(Logged(std::wstring(L"ZKLUtilRegistryValueSet Path: ") + kAssignmentKey));
}

TEST_F(ALApiHighLevelPlugTest, StoredAssignmentAsDwordIsReadLikeTheBinaryForm) {
    DwordWrite(kAssignmentKey, L"MonitorAssignment", 2, REG_DWORD);
    ASSERT_TRUE(Initialize(0));
    ASSERT_NE(Plug(), nullptr);
    EXPECT_EQ(MonitorIndexAt(0), 2);
}

TEST_F(ALApiHighLevelPlugTest, LastSuccessfulPlugIsTriedFirstByTheNextLibraryLoad) {
    ASSERT_TRUE(Initialize(0));
    for (int Index = 0; Index < 3; ++Index)
        ASSERT_NE(Plug(), nullptr);
    EXPECT_EQ(DwordRead(kAssignmentKey, L"MonitorAssignment")->second, 2u);
    m_pApi->Uninitialize(true);
    m_pApi = std::make_unique<ALApiHighLevel>();  // as when the library is loaded again
    DebugLevelAL = AL_DEBUG_ERROR;
    ASSERT_TRUE(Initialize(0));
    ASSERT_NE(Plug(), nullptr);
    EXPECT_EQ(MonitorIndexAt(0), 2);
}

TEST_F(ALApiHighLevelPlugTest, FailedStartLeavesANotRunningThreadThatHoldsNoIndex) {
    ASSERT_TRUE(Initialize(1));
    m_pIddCxDriver->Faults().FailNext(ALIoctlCode::MonitorPlug, ERROR_GEN_FAILURE);
    EXPECT_EQ(Plug(), nullptr);
    EXPECT_TRUE(Logged(L"ALApiHighLevel::DisplayMonitorPlug pThreadFrameBuffer->Start failed!\n"));
    EXPECT_EQ(m_pApi->ListGet().ThreadCountGet(), 1u);
    EXPECT_TRUE(m_pApi->ListGet().MonitorIndexIsAvailable(0));
    EXPECT_FALSE(DwordRead(kAssignmentKey, L"MonitorAssignment").has_value()) << "nothing stored for a failed plug";
    ASSERT_NE(Plug(), nullptr);
    EXPECT_EQ(MonitorIndexAt(1), 0);
    EXPECT_EQ(MonitorIndexAt(0), -1) << "the failed thread is not reported";
}

TEST_F(ALApiHighLevelPlugTest, UnplugEndsOnlyTheInstancesThreadAndASecondUnplugIsLogged) {
    ASSERT_TRUE(Initialize(1));
    RecordingMonitorInstance* pFirst = Plug();
    RecordingMonitorInstance* pSecond = Plug();
    ASSERT_NE(pFirst, nullptr);
    ASSERT_NE(pSecond, nullptr);
    m_pApi->DisplayMonitorUnplug(pSecond, true);
    EXPECT_FALSE(m_pIddCxDriver->MonitorIsPlugged(1));
    EXPECT_TRUE(m_pIddCxDriver->MonitorIsPlugged(0));
    EXPECT_EQ(m_pApi->ListGet().ThreadCountGet(), 1u);
    MachineDebugClear();
    m_pApi->DisplayMonitorUnplug(pSecond, true);
    EXPECT_TRUE(Logged(L"ALListFrameBufferThreads::TerminateByDeviceHandle failed! Thread not found...\n"));
    EXPECT_EQ(m_pApi->ListGet().ThreadCountGet(), 1u);
    EXPECT_TRUE(m_pIddCxDriver->MonitorIsPlugged(0));
}

TEST_F(ALApiHighLevelPlugTest, EnumerationReportsTargetIdAndAdapterOnlyForRunningIndirectMonitors) {
    ASSERT_TRUE(Initialize(1));
    int TargetId = 0;
    int VideoPresentTargetId = 0;
    LUID Luid{0x11, 0x22};
    EXPECT_EQ(m_pApi->DisplayMonitorAssignmentEnumerate(0, &TargetId, &VideoPresentTargetId, &Luid), nullptr);
    EXPECT_EQ(TargetId, -1);
    EXPECT_EQ(VideoPresentTargetId, -1);
    EXPECT_EQ(Luid.LowPart, 0x11u) << "untouched when nothing runs";
    EXPECT_TRUE(Logged(L"ALApiHighLevel::DisplayMonitorAssignmentEnumerate HardwareClientCustomInstanceEnumerate "
                       L"failed! EnumIdx:0\n"));
    RecordingMonitorInstance* pInstance = PlugAt(1);
    ASSERT_NE(pInstance, nullptr);
    EXPECT_EQ(m_pApi->DisplayMonitorAssignmentEnumerate(0, &TargetId, &VideoPresentTargetId, &Luid), pInstance);
    EXPECT_EQ(TargetId, 1);
    EXPECT_EQ(VideoPresentTargetId, static_cast<int>(SimIddCxDriver::TargetIdBase + 1));
    EXPECT_EQ(Luid.LowPart, 0xADA0u);
    EXPECT_EQ(m_pApi->DisplayMonitorAssignmentEnumerate(0, nullptr, nullptr, nullptr), pInstance);
}

TEST_F(ALApiHighLevelPlugTest, HookMonitorsReportNoAdapterLuid) {
    ASSERT_TRUE(Initialize(0));
    RecordingMonitorInstance* pInstance = Plug();
    ASSERT_NE(pInstance, nullptr);
    int TargetId = 0;
    int VideoPresentTargetId = 0;
    LUID Luid{0, 0};
    EXPECT_EQ(m_pApi->DisplayMonitorAssignmentEnumerate(0, &TargetId, &VideoPresentTargetId, &Luid), pInstance);
    EXPECT_EQ(TargetId, 0);
    EXPECT_EQ(Luid.LowPart, 0u);
    EXPECT_EQ(Luid.HighPart, 0);
}

}  // namespace
