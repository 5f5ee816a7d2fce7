#include <gtest/gtest.h>

#include "support/RectangleUnionClamp.h"

namespace {

struct UnionCase {
    const char* name;
    RECT destination;
    RECT source;
    LONG maxRight;
    LONG maxBottom;
    RECT expected;
};

const UnionCase kUnionCases[] = {
    {"source inside leaves destination", {10, 10, 100, 100}, {20, 20, 50, 50}, 1920, 1080, {10, 10, 100, 100}},
    {"grows every edge", {10, 10, 100, 100}, {5, 6, 200, 300}, 1920, 1080, {5, 6, 200, 300}},
    {"negative left and top clamp to zero", {10, 10, 100, 100}, {-5, -1, 50, 50}, 1920, 1080, {0, 0, 100, 100}},
    {"right and bottom clamp to the maximum", {10, 10, 100, 100}, {20, 20, 5000, 4000}, 1920, 1080, {10, 10, 1920, 1080}},
    {"destination outside bounds is kept", {-50, -60, 3000, 2000}, {0, 0, 1920, 1080}, 1920, 1080, {-50, -60, 3000, 2000}},
    {"all-zero destination grows to the source", {0, 0, 0, 0}, {100, 200, 300, 400}, 1920, 1080, {0, 0, 300, 400}},
    {"edges compare signed", {0, 0, 10, 10}, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 640, 480, {0, 0, 640, 480}},
    {"one edge only", {10, 10, 100, 100}, {10, 10, 100, 150}, 1920, 1080, {10, 10, 100, 150}},
};

class RectangleUnionClampTest : public ::testing::TestWithParam<UnionCase> {};

TEST_P(RectangleUnionClampTest, MergesEdgeByEdge) {
    const UnionCase& c = GetParam();
    RECT destination = c.destination;
    RectangleUnionClamp(&destination, &c.source, c.maxRight, c.maxBottom);
    EXPECT_EQ(destination.left, c.expected.left) << c.name;
    EXPECT_EQ(destination.top, c.expected.top) << c.name;
    EXPECT_EQ(destination.right, c.expected.right) << c.name;
    EXPECT_EQ(destination.bottom, c.expected.bottom) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Table, RectangleUnionClampTest, ::testing::ValuesIn(kUnionCases));

TEST(SharedTypes, LayoutsMatchThePlatform) {
    static_assert(sizeof(RECT) == 16);
    static_assert(offsetof(RECT, bottom) == 12);
    static_assert(sizeof(LUID) == 8);
    static_assert(offsetof(LUID, HighPart) == 4);
    LUID luid{};
    luid.HighPart = -1;
    EXPECT_LT(luid.HighPart, 0);  // HighPart is signed
    luid.LowPart = 0xFFFFFFFFu;
    EXPECT_GT(luid.LowPart, 0u);  // LowPart is unsigned
}

}  // namespace
