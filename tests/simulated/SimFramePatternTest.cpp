// The simulated pattern tells its frames apart: a picture shows exactly the
// frame last drawn into it, as seen by a pattern of the same size that drew
// nothing itself (the host's side of the demo).
#include <gtest/gtest.h>

#include <vector>

#include "sim/SimFramePattern.h"

namespace {

constexpr uint32_t kWidth = 320;
constexpr uint32_t kHeight = 200;
constexpr uint32_t kPitch = kWidth * 4 + 64;  // rows with padding

class SimFramePatternTest : public ::testing::TestWithParam<uint64_t> {};

TEST_P(SimFramePatternTest, APictureShowsTheFrameLastDrawnAndNoOther) {
    const uint64_t Drawn = GetParam();
    SimFramePattern Driver(kWidth, kHeight);
    std::vector<uint8_t> Picture(size_t(kPitch) * kHeight);
    for (uint64_t Frame = 0; Frame <= Drawn; ++Frame)
        Driver.Step(Picture.data(), kPitch);
    const SimFramePattern Host(kWidth, kHeight);
    EXPECT_TRUE(Host.FrameIsShown(Drawn, Picture.data(), kPitch));
    // The frames around it, and one with the same square colour, are not.
    for (const uint64_t Other : {Drawn + 1, Drawn + 2, Drawn + 256})
        EXPECT_FALSE(Host.FrameIsShown(Other, Picture.data(), kPitch)) << Other;
    for (uint64_t Back = 1; Back <= 255 && Back <= Drawn; ++Back)
        EXPECT_FALSE(Host.FrameIsShown(Drawn - Back, Picture.data(), kPitch)) << Drawn - Back;
}

// The first frame, frames within a row, the move to the next row, and past
// the 256 square colours.
INSTANTIATE_TEST_SUITE_P(Frames, SimFramePatternTest, ::testing::Values(0u, 1u, 7u, 12u, 300u, 700u));

}  // namespace
