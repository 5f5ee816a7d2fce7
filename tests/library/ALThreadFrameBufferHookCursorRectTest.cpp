// The area an emulated pointer move repaints: what the pointer left and
// entered, with the current shape's size for both positions, clamped to the
// frame.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hook/ALThreadFrameBufferHook.h"
#include "library/DebugLevelScope.h"
#include "library/LogLine.h"
#include "platform/DebugCapture.h"

namespace {

class CursorRectProbe : public ALThreadFrameBufferHook {
public:
    using ALThreadFrameBufferHook::PrivateGetCursorUpdateRect;
};

struct PointerState {
    int32_t X;
    int32_t Y;
    uint8_t Visible;
    uint32_t ShapeWidth;
    uint32_t ShapeHeight;
};

struct CursorCase {
    const char* pName;
    PointerState Previous;
    PointerState Current;
    UINT32 Width;
    UINT32 Height;
    RECT Expected;
};

const CursorCase kCursorCases[] = {
    {"Moved", {10, 10, 1, 32, 32}, {30, 20, 1, 32, 32}, 1920, 1080, {10, 10, 62, 52}},
    {"MovedUpAndLeft", {50, 60, 1, 16, 16}, {40, 30, 1, 16, 16}, 1920, 1080, {40, 30, 66, 76}},
    {"AppearedPartlyOutside", {0, 0, 0, 0, 0}, {-5, -5, 1, 32, 32}, 1920, 1080, {0, 0, 27, 27}},
    {"DisappearedAtTheEdge", {1900, 1060, 1, 32, 32}, {1900, 1060, 0, 32, 32}, 1920, 1080, {1900, 1060, 1920, 1080}},
    {"BothHidden", {10, 10, 0, 32, 32}, {30, 30, 0, 32, 32}, 1920, 1080, {0, 0, 0, 0}},
    {"VisibleValueTwoIsNeither", {10, 10, 2, 32, 32}, {30, 30, 1, 32, 32}, 1920, 1080, {0, 0, 0, 0}},
    {"CurrentShapeForBothPositions", {100, 100, 1, 64, 64}, {200, 200, 1, 16, 16}, 1920, 1080, {100, 100, 216, 216}},
    {"PreviousShapeIgnoredWhenDisappearing", {100, 100, 1, 64, 64}, {0, 0, 0, 8, 4}, 1920, 1080, {100, 100, 108, 104}},
    {"ShapeSizeZero", {10, 10, 1, 0, 0}, {20, 20, 1, 0, 0}, 1920, 1080, {10, 10, 20, 20}},
    {"HugeShapeClampsWithoutOverflow", {10, 20, 0, 0, 0}, {10, 20, 1, 0xFFFFFFFFu, 0xFFFFFFFFu}, 640, 480,
     {10, 20, 640, 480}},
    {"FarNegativeStaysClamped", {INT32_MIN, INT32_MIN, 1, 32, 32}, {0, 0, 0, 32, 32}, 640, 480, {0, 0, -2147483616, -2147483616}},
    {"LeftBeyondTheFrameIsKept", {0, 0, 0, 32, 32}, {700, 10, 1, 32, 32}, 640, 480, {700, 10, 640, 42}},
};

void PointerSet(PointerInfo& Pointer, const PointerState& State) {
    Pointer.X = State.X;
    Pointer.Y = State.Y;
    Pointer.Visible = State.Visible;
    Pointer.Shape.ShapeWidth = State.ShapeWidth;
    Pointer.Shape.ShapeHeight = State.ShapeHeight;
}

class CursorUpdateRectTest : public ::testing::TestWithParam<CursorCase> {};

TEST_P(CursorUpdateRectTest, CoversWhatThePointerLeftAndEntered) {
    const CursorCase& Case = GetParam();
    auto pPrevious = std::make_unique<PointerInfo>();
    auto pCurrent = std::make_unique<PointerInfo>();
    PointerSet(*pPrevious, Case.Previous);
    PointerSet(*pCurrent, Case.Current);
    RECT Rectangle{-1, -1, -1, -1};
    CursorRectProbe::PrivateGetCursorUpdateRect(pPrevious.get(), pCurrent.get(), Case.Width, Case.Height, &Rectangle);
    EXPECT_EQ(Rectangle.left, Case.Expected.left);
    EXPECT_EQ(Rectangle.top, Case.Expected.top);
    EXPECT_EQ(Rectangle.right, Case.Expected.right);
    EXPECT_EQ(Rectangle.bottom, Case.Expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(Table, CursorUpdateRectTest, ::testing::ValuesIn(kCursorCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST(CursorUpdateRect, MissingRecordLeavesTheRectangleAndLogs) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    auto pPointer = std::make_unique<PointerInfo>();
    RECT Rectangle{1, 2, 3, 4};
    CursorRectProbe::PrivateGetCursorUpdateRect(nullptr, pPointer.get(), 640, 480, &Rectangle);
    CursorRectProbe::PrivateGetCursorUpdateRect(pPointer.get(), nullptr, 640, 480, &Rectangle);
    EXPECT_EQ(Rectangle.left, 1);
    EXPECT_EQ(Rectangle.bottom, 4);
    const std::wstring Line = LogLine(L"ALThreadFrameBufferHook::PrivateGetCursorUpdateRect failed! Invalid Parameter\n");
    EXPECT_EQ(Capture.Lines(), (std::vector<std::wstring>{Line, Line}));
}

}  // namespace
