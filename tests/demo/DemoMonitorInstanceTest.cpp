// The demo's monitor instance as the library meets it: the description
// record it hands out, updates copied only from inside their rectangle
// (clipped to the frame) into the host's picture, the statistics of each
// update, and refused updates.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "DemoMonitorInstance.h"
#include "interface/NimboMonitorRecords.h"

namespace {

constexpr uint32_t kWidth = 96;
constexpr uint32_t kHeight = 64;
constexpr uint32_t kPitch = kWidth * 4 + 32;  // rows with padding, as drivers align them
constexpr uint32_t kInside = 0xFF112233;
constexpr uint32_t kOutside = 0xFFEE0000;

// A presentation clock that knows one time, or none.
class FixedClock : public DemoPresentationClock {
public:
    FixedClock(bool bKnown, int64_t Ticks) : m_bKnown(bKnown), m_Ticks(Ticks) {}
    bool PresentationTicksFind(const uint8_t* pPixels, uint32_t Width, uint32_t Height, uint32_t Pitch,
                               int64_t* pTicks) override {
        ++Calls;
        LastWidth = Width;
        LastHeight = Height;
        LastPitch = Pitch;
        bPixels = pPixels != nullptr;
        *pTicks = m_Ticks;
        return m_bKnown;
    }
    int Calls = 0;
    uint32_t LastWidth = 0, LastHeight = 0, LastPitch = 0;
    bool bPixels = false;

private:
    const bool m_bKnown;
    const int64_t m_Ticks;
};

int64_t TicksNow() {
    LARGE_INTEGER Now;
    QueryPerformanceCounter(&Now);
    return Now.QuadPart;
}

class DemoMonitorInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pRecord = std::make_shared<DemoMonitorRecord>();
        m_pRecord->Ordinal = 3;
        m_pInstance = std::make_unique<DemoMonitorInstance>(m_pRecord, kWidth, kHeight);
        m_Frame.resize(size_t(kPitch) * kHeight);
    }
    // The frame filled with kOutside, Area with kInside; the buffer is
    // exactly the frame's size, so a read past it is caught by ASan.
    void FramePaint(const RECT& Area) {
        for (uint32_t Y = 0; Y < kHeight; ++Y)
            for (uint32_t X = 0; X < kWidth; ++X) {
                const bool bIn = LONG(X) >= Area.left && LONG(X) < Area.right && LONG(Y) >= Area.top &&
                                 LONG(Y) < Area.bottom;
                std::memcpy(&m_Frame[size_t(Y) * kPitch + X * 4], bIn ? &kInside : &kOutside, 4);
            }
    }
    bool Update(RECT Area, uint32_t Pitch = kPitch) {
        return m_pInstance->FrameBufferUpdate(FrameBufferInfo{kWidth, kHeight, 32, 60}, m_Frame.data(), Pitch,
                                              nullptr, 0, &Area, 2, nullptr);
    }
    uint32_t PicturePixel(uint32_t X, uint32_t Y) {
        uint32_t Pixel = 0;
        m_pRecord->Image.PixelsVisit([&](const uint8_t* pPixels, uint32_t, uint32_t, uint32_t Pitch) {
            if (pPixels != nullptr)
                std::memcpy(&Pixel, pPixels + size_t(Y) * Pitch + X * 4, 4);
        });
        return Pixel;
    }
    // Pixels of the picture equal to Value.
    size_t PictureCount(uint32_t Value) {
        size_t Count = 0;
        for (uint32_t Y = 0; Y < kHeight; ++Y)
            for (uint32_t X = 0; X < kWidth; ++X)
                Count += PicturePixel(X, Y) == Value ? 1 : 0;
        return Count;
    }

    std::shared_ptr<DemoMonitorRecord> m_pRecord;
    std::unique_ptr<DemoMonitorInstance> m_pInstance;
    std::vector<uint8_t> m_Frame;
};

TEST_F(DemoMonitorInstanceTest, DescriptionIsOneModeOfWidthHeightAt60HzInALocalBlock) {
    BYTE* pRecord = nullptr;
    UINT32 CountByte = 0;
    BYTE* pEdid = nullptr;
    UINT32 CountByteEdid = 0;
    ASSERT_TRUE(m_pInstance->GetMonitorDescription(&pRecord, &CountByte, &pEdid, &CountByteEdid));
    ASSERT_EQ(CountByte, 36u);
    UINT32 Fields[9];
    std::memcpy(Fields, pRecord, sizeof(Fields));
    const UINT32 Expected[9] = {0, 0, 0, 0, 1, kWidth, kHeight, 0, 60};
    for (int Index = 0; Index < 9; ++Index)
        EXPECT_EQ(Fields[Index], Expected[Index]) << Index;
    EXPECT_EQ(pEdid, nullptr);
    EXPECT_EQ(CountByteEdid, 0u);
    EXPECT_EQ(LocalFree(pRecord), nullptr);  // the library releases it this way
}

TEST_F(DemoMonitorInstanceTest, InstanceIdsDifferPerMonitor) {
    auto pOther = std::make_shared<DemoMonitorRecord>();
    pOther->Ordinal = 12;
    DemoMonitorInstance Other(pOther, kWidth, kHeight);
    EXPECT_EQ(m_pInstance->InstanceIdGet(), L"{5E1D0DE0-0000-4000-8000-000000000003}");
    EXPECT_EQ(Other.InstanceIdGet(), L"{5E1D0DE0-0000-4000-8000-00000000000C}");
    EXPECT_EQ(Other.InstanceContextGet(), 12u);
}

struct CopyCase {
    RECT Area;      // as the library reports it
    RECT Expected;  // what lies inside the frame
};

class DemoMonitorInstanceCopyTest : public DemoMonitorInstanceTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(DemoMonitorInstanceCopyTest, CopiesOnlyTheRectangleClippedToTheFrame) {
    const CopyCase& Case = GetParam();
    FramePaint(Case.Expected);
    ASSERT_TRUE(Update(Case.Area));
    const size_t Area = size_t(Case.Expected.right - Case.Expected.left) * (Case.Expected.bottom - Case.Expected.top);
    EXPECT_EQ(PictureCount(kInside), Area);
    EXPECT_EQ(PictureCount(kOutside), 0u);  // nothing read from outside the rectangle
    const DemoStatsPeriod Total = m_pRecord->Stats.TotalGet();
    EXPECT_EQ(Total.Frames, 1u);
    EXPECT_DOUBLE_EQ(Total.ChangedShareSum, double(Area) / (kWidth * kHeight));
}

const CopyCase kCopyCases[] = {
    {{0, 0, kWidth, kHeight}, {0, 0, kWidth, kHeight}},
    {{10, 5, 30, 20}, {10, 5, 30, 20}},
    {{-8, -4, 12, 6}, {0, 0, 12, 6}},
    {{80, 50, 500, 900}, {80, 50, kWidth, kHeight}},
    {{kWidth - 1, kHeight - 1, kWidth, kHeight}, {kWidth - 1, kHeight - 1, kWidth, kHeight}},
};

INSTANTIATE_TEST_SUITE_P(Rectangles, DemoMonitorInstanceCopyTest, ::testing::ValuesIn(kCopyCases));

TEST_F(DemoMonitorInstanceTest, EmptyOrOutsideRectanglesCopyNothingButCountAsFrames) {
    FramePaint(RECT{0, 0, kWidth, kHeight});
    ASSERT_TRUE(Update(RECT{0, 0, 0, 0}));
    ASSERT_TRUE(Update(RECT{200, 200, 300, 300}));
    ASSERT_TRUE(Update(RECT{30, 30, 10, 10}));  // inverted
    EXPECT_EQ(PictureCount(kInside), 0u);
    const DemoStatsPeriod Total = m_pRecord->Stats.TotalGet();
    EXPECT_EQ(Total.Frames, 3u);
    EXPECT_DOUBLE_EQ(Total.ChangedShareSum, 0);
}

TEST_F(DemoMonitorInstanceTest, UpdatesAccumulateIntoTheWholePicture) {
    FramePaint(RECT{0, 0, kWidth, kHeight});
    ASSERT_TRUE(Update(RECT{0, 0, kWidth / 2, kHeight}));
    ASSERT_TRUE(Update(RECT{kWidth / 2, 0, kWidth, kHeight}));
    EXPECT_EQ(PictureCount(kInside), size_t(kWidth) * kHeight);
    const DemoStatsPeriod Period = m_pRecord->Stats.PeriodTake();
    EXPECT_EQ(Period.Frames, 2u);
    EXPECT_EQ(m_pRecord->Stats.PeriodTake().Frames, 0u);  // a new period begun
    EXPECT_EQ(m_pRecord->Stats.TotalGet().Frames, 2u);
}

TEST_F(DemoMonitorInstanceTest, RefusesUpdatesItCannotRead) {
    RECT Area{0, 0, kWidth, kHeight};
    const FrameBufferInfo Info{kWidth, kHeight, 32, 60};
    EXPECT_FALSE(m_pInstance->FrameBufferUpdate(Info, nullptr, kPitch, nullptr, 0, &Area, 2, nullptr));
    EXPECT_FALSE(m_pInstance->FrameBufferUpdate(Info, m_Frame.data(), kPitch, nullptr, 0, nullptr, 2, nullptr));
    EXPECT_FALSE(Update(Area, kWidth * 4 - 1));  // rows shorter than the width
    EXPECT_FALSE(m_pInstance->FrameBufferUpdate(FrameBufferInfo{0, kHeight, 32, 60}, m_Frame.data(), kPitch, nullptr,
                                                0, &Area, 2, nullptr));
    EXPECT_EQ(m_pRecord->Stats.TotalGet().Frames, 0u);
}

struct LatencyCase {
    const char* pName;
    bool bKnown;
    int64_t TicksFromNow;  // the presentation time the clock reports, relative to before the update
    uint64_t Samples;
};

class DemoMonitorInstanceLatencyTest : public DemoMonitorInstanceTest,
                                       public ::testing::WithParamInterface<LatencyCase> {};

TEST_P(DemoMonitorInstanceLatencyTest, IsRecordedOnlyForAKnownEarlierPresentation) {
    const LatencyCase& Case = GetParam();
    auto pClock = std::make_shared<FixedClock>(Case.bKnown, TicksNow() + Case.TicksFromNow);
    m_pRecord->pClock = pClock;
    FramePaint(RECT{0, 0, kWidth, kHeight});
    ASSERT_TRUE(Update(RECT{0, 0, 8, 8}));
    EXPECT_EQ(pClock->Calls, 1);
    EXPECT_TRUE(pClock->bPixels);  // asked about the host's own picture
    EXPECT_EQ(pClock->LastWidth, kWidth);
    EXPECT_EQ(pClock->LastHeight, kHeight);
    EXPECT_EQ(pClock->LastPitch, kWidth * 4);
    const DemoStatsPeriod Total = m_pRecord->Stats.TotalGet();
    EXPECT_EQ(Total.Frames, 1u);
    EXPECT_EQ(Total.Latency.CountGet(), Case.Samples);
}

const LatencyCase kLatencyCases[] = {
    {"PresentedBefore", true, 0, 1},
    {"Unknown", false, 0, 0},
    // A presentation after the delivery began is not this picture's.
    {"PresentedAfter", true, int64_t(1) << 40, 0},
};

INSTANTIATE_TEST_SUITE_P(Clocks, DemoMonitorInstanceLatencyTest, ::testing::ValuesIn(kLatencyCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(DemoMonitorInstanceTest, WithoutAClockNoLatencyIsRecorded) {
    FramePaint(RECT{0, 0, kWidth, kHeight});
    ASSERT_TRUE(Update(RECT{0, 0, 8, 8}));
    EXPECT_EQ(m_pRecord->Stats.TotalGet().Latency.CountGet(), 0u);
}

TEST_F(DemoMonitorInstanceTest, VisibilityInactivityAndStopReachTheStatistics) {
    EXPECT_TRUE(m_pInstance->MonitorVisibilitySet(true));
    EXPECT_TRUE(m_pRecord->Stats.VisibleAwait(0));
    EXPECT_TRUE(m_pInstance->InactivitySet(1));
    EXPECT_EQ(m_pRecord->Stats.InactivityCountGet(), 1u);
    EXPECT_FALSE(m_pRecord->Stats.StoppedIs());
    m_pInstance->MonitorStop();
    EXPECT_TRUE(m_pRecord->Stats.StoppedIs());
}

}  // namespace
