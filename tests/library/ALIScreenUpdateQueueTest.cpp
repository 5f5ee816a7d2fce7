// The two-place screen update queue: its state table, the merge of a dropped
// entry's rectangle into the newer one, and its two internal-error reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DebugLevelScope.h"
#include "LogLine.h"
#include "indirect/ALIScreenUpdateQueue.h"
#include "platform/DebugCapture.h"

namespace {

const wchar_t kPeekError[] = L"ALIScreenUpdateQueue::Peek failed! Internal buffer error (this should never happen)\n";

ScreenUpdateResource Entry(RECT Rectangle, UINT32 Width = 1920, UINT32 Height = 1080) {
    ScreenUpdateResource Result{};
    Result.Width = Width;
    Result.Height = Height;
    Result.UpdateRectangle = Rectangle;
    return Result;
}

bool RectEqual(const RECT& A, const RECT& B) {
    return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}

// What a sequence of operations leaves: the front after each push and what
// Peek yields at the end, with entries named by letter.
struct Step {
    char Operation;  // 'P' push, 'O' pop front, 'X' pop an entry that is not the front
    char Entry;      // a, b, c, d
    char Expected;   // push: reported front ('-' none); pops: '1' true, '0' false
};

struct StateCase {
    const char* Name;
    std::vector<Step> Steps;
    char Front;  // Peek at the end; '-' empty
};

const StateCase kStateCases[] = {
    {"empty queue peeks nothing", {}, '-'},
    {"push into empty reports no front", {{'P', 'a', '-'}}, 'a'},
    {"second push reports the first", {{'P', 'a', '-'}, {'P', 'b', 'a'}}, 'a'},
    {"third push keeps the front and drops the back", {{'P', 'a', '-'}, {'P', 'b', 'a'}, {'P', 'c', 'a'}}, 'a'},
    {"pop of the only entry empties", {{'P', 'a', '-'}, {'O', 'a', '1'}}, '-'},
    {"pop of a full queue moves the back up", {{'P', 'a', '-'}, {'P', 'b', 'a'}, {'O', 'a', '1'}}, 'b'},
    {"pop of the dropped entry fails", {{'P', 'a', '-'}, {'P', 'b', 'a'}, {'P', 'c', 'a'}, {'X', 'b', '0'}}, 'a'},
    {"pop of the back fails", {{'P', 'a', '-'}, {'P', 'b', 'a'}, {'X', 'b', '0'}}, 'a'},
    {"pop of an empty queue fails", {{'X', 'a', '0'}}, '-'},
    {"push after a pop of one", {{'P', 'a', '-'}, {'O', 'a', '1'}, {'P', 'b', '-'}}, 'b'},
    {"consumer keeps up", {{'P', 'a', '-'}, {'P', 'b', 'a'}, {'O', 'a', '1'}, {'P', 'c', 'b'}, {'O', 'b', '1'}}, 'c'},
};

class ALIScreenUpdateQueueStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(ALIScreenUpdateQueueStateTest, FollowsTheStateTable) {
    const StateCase& Case = GetParam();
    ScreenUpdateResource Entries[4] = {Entry({0, 0, 1, 1}), Entry({0, 0, 1, 1}), Entry({0, 0, 1, 1}),
                                       Entry({0, 0, 1, 1})};
    auto Named = [&](char Name) -> ScreenUpdateResource* { return Name == '-' ? nullptr : &Entries[Name - 'a']; };
    ALIScreenUpdateQueue Queue;
    for (const Step& Operation : Case.Steps) {
        if (Operation.Operation == 'P') {
            ScreenUpdateResource* pFront = &Entries[3];  // overwritten by every push
            Queue.PushBack(Named(Operation.Entry), &pFront);
            EXPECT_EQ(pFront, Named(Operation.Expected)) << Case.Name << ": push " << Operation.Entry;
        } else {
            EXPECT_EQ(Queue.PopFront(Named(Operation.Entry)), Operation.Expected == '1')
                << Case.Name << ": pop " << Operation.Entry;
        }
    }
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ScreenUpdateResource* pFront = &Entries[3];
    EXPECT_EQ(Queue.Peek(&pFront), Case.Front != '-') << Case.Name;
    EXPECT_EQ(pFront, Named(Case.Front)) << Case.Name;
    // Only an empty queue reports, and a peek never removes anything.
    EXPECT_EQ(Capture.Lines().size(), Case.Front == '-' ? 1u : 0u) << Case.Name;
    EXPECT_EQ(Queue.Peek(&pFront), Case.Front != '-') << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Table, ALIScreenUpdateQueueStateTest, ::testing::ValuesIn(kStateCases));

struct MergeCase {
    const char* Name;
    RECT Newer;
    RECT Dropped;
    UINT32 Width, Height;
    RECT Expected;
};

const MergeCase kMergeCases[] = {
    {"clamped union", {100, 100, 200, 200}, {-5, 50, 3000, 150}, 1920, 1080, {0, 50, 1920, 200}},
    {"dropped inside the newer changes nothing", {100, 100, 200, 200}, {120, 130, 150, 160}, 1920, 1080,
     {100, 100, 200, 200}},
    {"all-zero dropped moves left and top to 0", {100, 100, 200, 200}, {0, 0, 0, 0}, 1920, 1080, {0, 0, 200, 200}},
    {"all-zero newer grows to the dropped", {0, 0, 0, 0}, {10, 20, 30, 40}, 1920, 1080, {0, 0, 30, 40}},
    {"bounded by the newer entry's size", {0, 0, 10, 10}, {0, 0, 4000, 3000}, 640, 480, {0, 0, 640, 480}},
    {"newer beyond the bounds is kept", {0, 0, 5000, 10}, {0, 0, 100, 100}, 640, 480, {0, 0, 5000, 100}},
};

class ALIScreenUpdateQueueMergeTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(ALIScreenUpdateQueueMergeTest, DroppedRectangleMergesIntoTheNewer) {
    const MergeCase& Case = GetParam();
    ScreenUpdateResource Front = Entry({1, 2, 3, 4});
    ScreenUpdateResource Dropped = Entry(Case.Dropped);
    ScreenUpdateResource Newer = Entry(Case.Newer, Case.Width, Case.Height);
    ALIScreenUpdateQueue Queue;
    ScreenUpdateResource* pFront = nullptr;
    Queue.PushBack(&Front, &pFront);
    Queue.PushBack(&Dropped, &pFront);
    Queue.PushBack(&Newer, &pFront);
    EXPECT_EQ(pFront, &Front);
    EXPECT_TRUE(RectEqual(Newer.UpdateRectangle, Case.Expected)) << Case.Name;
    // Only the entry pushed changes.
    EXPECT_TRUE(RectEqual(Dropped.UpdateRectangle, Case.Dropped)) << Case.Name;
    EXPECT_TRUE(RectEqual(Front.UpdateRectangle, RECT{1, 2, 3, 4})) << Case.Name;
    EXPECT_TRUE(Queue.PopFront(&Front));
    ASSERT_TRUE(Queue.Peek(&pFront));
    EXPECT_EQ(pFront, &Newer);
}

INSTANTIATE_TEST_SUITE_P(Examples, ALIScreenUpdateQueueMergeTest, ::testing::ValuesIn(kMergeCases));

TEST(ALIScreenUpdateQueue, PushIntoAnEmptyOrHalfQueueMergesNothing) {
    ScreenUpdateResource First = Entry({0, 0, 0, 0});
    ScreenUpdateResource Second = Entry({100, 100, 200, 200});
    ALIScreenUpdateQueue Queue;
    ScreenUpdateResource* pFront = nullptr;
    Queue.PushBack(&First, &pFront);
    Queue.PushBack(&Second, &pFront);
    EXPECT_TRUE(RectEqual(Second.UpdateRectangle, RECT{100, 100, 200, 200}));
}

TEST(ALIScreenUpdateQueue, PeekOnANewQueueLogsTheInternalError) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALIScreenUpdateQueue Queue;
    ScreenUpdateResource Sentinel{};
    ScreenUpdateResource* pFront = &Sentinel;
    EXPECT_FALSE(Queue.Peek(&pFront));
    EXPECT_EQ(pFront, nullptr);
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(kPeekError)});
}

TEST(ALIScreenUpdateQueue, ErrorTextIsFilteredByTheLevel) {
    DebugLevelScope Level(AL_DEBUG_SWAPCHAIN);
    DebugCapture Capture;
    ALIScreenUpdateQueue Queue;
    ScreenUpdateResource* pFront = nullptr;
    EXPECT_FALSE(Queue.Peek(&pFront));
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST(ALIScreenUpdateQueue, DestructionLeavesTheEntriesAlone) {
    ScreenUpdateResource First = Entry({1, 2, 3, 4});
    ScreenUpdateResource Second = Entry({5, 6, 7, 8});
    const ScreenUpdateResource FirstBefore = First;
    {
        ALIScreenUpdateQueue Queue;
        ScreenUpdateResource* pFront = nullptr;
        Queue.PushBack(&First, &pFront);
        Queue.PushBack(&Second, &pFront);
    }
    EXPECT_TRUE(RectEqual(First.UpdateRectangle, FirstBefore.UpdateRectangle));
    EXPECT_EQ(First.Width, FirstBefore.Width);
    EXPECT_TRUE(RectEqual(Second.UpdateRectangle, RECT{5, 6, 7, 8}));
}

}  // namespace
