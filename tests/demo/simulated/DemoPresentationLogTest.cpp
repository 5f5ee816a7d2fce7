// The presentation log of a simulated monitor: a picture of the pattern
// names the frame it shows and so its presentation time; frames drawn by
// someone else, not announced, or not in the picture have none; and a
// delivery that overtakes the end of its presentation waits for its time.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "posix/DemoPresentationLog.h"
#include "sim/SimFramePattern.h"

namespace {

constexpr uint32_t kWidth = 320;
constexpr uint32_t kHeight = 200;
constexpr uint32_t kPitch = kWidth * 4;

// The driver's side: draws the pattern and notes each frame in the log with
// ticks 1000 + frame number (0 for the frames listed as not announced).
class PresentationLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Log.PatternSizeSet(kWidth, kHeight);
        m_Picture.resize(size_t(kPitch) * kHeight);
    }
    void DrawUnlogged() { m_Pattern.Step(m_Picture.data(), kPitch); }
    void Present(bool bAnnounced = true) {
        const uint64_t Frame = m_Pattern.FrameCountGet();
        m_Log.PresentBegin(Frame);
        m_Pattern.Step(m_Picture.data(), kPitch);
        m_Log.PresentEnd(Frame, true, bAnnounced ? int64_t(1000 + Frame) : 0);
    }
    bool Find(int64_t* pTicks) { return m_Log.PresentationTicksFind(m_Picture.data(), kWidth, kHeight, kPitch, pTicks); }

    DemoPresentationLog m_Log;
    SimFramePattern m_Pattern{kWidth, kHeight};
    std::vector<uint8_t> m_Picture;
};

TEST_F(PresentationLogTest, ThePictureNamesTheFrameItShows) {
    int64_t Ticks = 0;
    EXPECT_FALSE(Find(&Ticks));  // nothing presented
    for (int Frame = 0; Frame < 600; ++Frame) {
        Present();
        ASSERT_TRUE(Find(&Ticks)) << Frame;
        ASSERT_EQ(Ticks, 1000 + Frame);  // also past the 256 square colours
    }
    EXPECT_EQ(m_Log.FramesPresentedGet(), 600u);
}

TEST_F(PresentationLogTest, AnOlderPictureNamesItsOwnFrame) {
    Present();
    Present();
    const std::vector<uint8_t> Older = m_Picture;
    Present();
    Present();
    int64_t Ticks = 0;
    ASSERT_TRUE(m_Log.PresentationTicksFind(Older.data(), kWidth, kHeight, kPitch, &Ticks));
    EXPECT_EQ(Ticks, 1001);
}

TEST_F(PresentationLogTest, FramesDrawnBeforeTheFirstPresentationOrNotAnnouncedHaveNoTime) {
    DrawUnlogged();  // as the hook driver draws at plug
    int64_t Ticks = 0;
    EXPECT_FALSE(Find(&Ticks));
    Present(false);
    EXPECT_FALSE(Find(&Ticks));
    Present();
    ASSERT_TRUE(Find(&Ticks));
    EXPECT_EQ(Ticks, 1002);
}

TEST_F(PresentationLogTest, APictureOfAnotherSizeOrWithoutTheSquareHasNoTime) {
    Present();
    int64_t Ticks = 0;
    EXPECT_FALSE(m_Log.PresentationTicksFind(m_Picture.data(), kWidth - 1, kHeight, kPitch, &Ticks));
    std::vector<uint8_t> Black(m_Picture.size(), 0);
    EXPECT_FALSE(m_Log.PresentationTicksFind(Black.data(), kWidth, kHeight, kPitch, &Ticks));
}

TEST_F(PresentationLogTest, ADeliveryOfTheFrameBeingPresentedGetsItsTime) {
    Present();
    // The frame is drawn and delivered while its presentation has not ended.
    const uint64_t Frame = m_Pattern.FrameCountGet();
    m_Log.PresentBegin(Frame);
    m_Pattern.Step(m_Picture.data(), kPitch);
    int64_t Ticks = 0;
    bool bFound = false;
    std::thread Delivery([&] { bFound = Find(&Ticks); });
    m_Log.PresentEnd(Frame, true, 1000 + int64_t(Frame));
    Delivery.join();
    ASSERT_TRUE(bFound);
    EXPECT_EQ(Ticks, 1000 + int64_t(Frame));
}

}  // namespace
