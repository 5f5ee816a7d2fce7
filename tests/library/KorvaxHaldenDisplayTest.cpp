// The library's own monitor instance: its description record and answers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "interface/KorvaxHaldenDisplay.h"

namespace {

std::vector<UINT32> RecordWords(const BYTE* pRecord, UINT32 CountByte) {
    std::vector<UINT32> Words(CountByte / 4);
    std::memcpy(Words.data(), pRecord, CountByte);
    return Words;
}

TEST(KorvaxHaldenDisplay, DescriptionCarriesTheModeCrosswise) {
    KorvaxHaldenDisplay Display;
    Display.ModeValue1 = 1080;  // PlugMonitor's first argument
    Display.ModeValue0 = 1920;  // PlugMonitor's second argument
    BYTE* pRecord = nullptr;
    UINT32 CountByte = 0;
    BYTE* pEdid = nullptr;
    UINT32 CountByteEdid = 0;
    ASSERT_TRUE(Display.GetMonitorDescription(&pRecord, &CountByte, &pEdid, &CountByteEdid));
    ASSERT_EQ(CountByte, 36u);
    EXPECT_EQ(RecordWords(pRecord, CountByte),
              (std::vector<UINT32>{0, 0, 0, 0, 1, 1920, 1080, 0, 60}));
    EXPECT_EQ(pEdid, nullptr);  // no EDID supplied, outputs untouched
    EXPECT_EQ(CountByteEdid, 0u);
    EXPECT_EQ(LocalFree(pRecord), nullptr);
}

TEST(KorvaxHaldenDisplay, EachCallMakesANewEqualRecord) {
    KorvaxHaldenDisplay Display;
    Display.ModeValue0 = 800;
    Display.ModeValue1 = 600;
    BYTE* pFirst = nullptr;
    BYTE* pSecond = nullptr;
    UINT32 CountFirst = 0, CountSecond = 0, CountEdid = 0;
    BYTE* pEdid = nullptr;
    ASSERT_TRUE(Display.GetMonitorDescription(&pFirst, &CountFirst, &pEdid, &CountEdid));
    ASSERT_TRUE(Display.GetMonitorDescription(&pSecond, &CountSecond, &pEdid, &CountEdid));
    EXPECT_NE(pFirst, pSecond);
    ASSERT_EQ(CountFirst, CountSecond);
    EXPECT_EQ(std::memcmp(pFirst, pSecond, CountFirst), 0);
    LocalFree(pFirst);
    LocalFree(pSecond);
}

TEST(KorvaxHaldenDisplay, AnswersEveryCallback) {
    KorvaxHaldenDisplay Display;
    INimboApiDisplayMonitorInstance* pInstance = &Display;
    RECT Rect{0, 0, 1, 1};
    EXPECT_TRUE(pInstance->MonitorVisibilitySet(true));
    EXPECT_TRUE(pInstance->FrameBufferUpdate(FrameBufferInfo{}, nullptr, 0, nullptr, 0, &Rect, 2, nullptr));
    EXPECT_TRUE(pInstance->CursorPositionSet(1, 2, 1));
    EXPECT_TRUE(pInstance->CursorShapeSet(nullptr));
    EXPECT_TRUE(pInstance->Heartbeat());
    EXPECT_FALSE(pInstance->InactivitySet(1));
    EXPECT_FALSE(pInstance->InstanceQuery(nullptr));
    EXPECT_EQ(pInstance->InstanceIdGet(), L"{CE4D2BD2-B9AD-43BE-B498-F3B601B92D5E}");
    EXPECT_EQ(pInstance->InstanceNameGet(), L"");
    EXPECT_EQ(pInstance->InstanceContextGet(), 0u);
    pInstance->MonitorStop();
}

}  // namespace
