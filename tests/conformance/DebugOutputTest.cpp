// Debugger output as DebugCapture sees it: one entry per OutputDebugString
// call, wide and narrow, whole under concurrent writers.
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/DebugCapture.h"
#include "platform/win32.h"

namespace {

TEST(DebugOutput, EachWideCallIsOneEntryInOrder) {
    DebugCapture Capture;
    OutputDebugStringW(L"AL [0012:0345]:first line\n");
    OutputDebugStringW(L"no line end");
    OutputDebugStringW(L" runs on\n");
    EXPECT_EQ(Capture.Lines(),
              (std::vector<std::wstring>{L"AL [0012:0345]:first line\n", L"no line end", L" runs on\n"}));
    EXPECT_EQ(Capture.Text(), L"AL [0012:0345]:first line\nno line end runs on\n");
}

TEST(DebugOutput, NarrowCallIsOneWideEntry) {
    DebugCapture Capture;
    OutputDebugStringA("IDDDriverSetup: narrow text 42\n");
    EXPECT_EQ(Capture.Lines(), (std::vector<std::wstring>{L"IDDDriverSetup: narrow text 42\n"}));
}

TEST(DebugOutput, CaptureSeesOnlyWhatFollowsItAndClearEmptiesIt) {
    OutputDebugStringW(L"before the capture\n");
    DebugCapture Capture;
    EXPECT_TRUE(Capture.Lines().empty());
    OutputDebugStringW(L"during\n");
    EXPECT_EQ(Capture.Lines().size(), 1u);
    Capture.Clear();
    EXPECT_TRUE(Capture.Lines().empty());
    OutputDebugStringW(L"after clear\n");
    EXPECT_EQ(Capture.Lines(), (std::vector<std::wstring>{L"after clear\n"}));
}

TEST(DebugOutput, ConcurrentWritersNeverMixLines) {
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 50;
    DebugCapture Capture;
    std::vector<std::thread> Writers;
    for (int t = 0; t < kThreads; ++t) {
        Writers.emplace_back([t] {
            for (int i = 0; i < kLinesEach; ++i) {
                const std::wstring Line = L"writer " + std::to_wstring(t) + L" line " + std::to_wstring(i) + L"\n";
                OutputDebugStringW(Line.c_str());
            }
        });
    }
    for (std::thread& Writer : Writers)
        Writer.join();
    const std::vector<std::wstring> Lines = Capture.Lines();
    ASSERT_EQ(Lines.size(), static_cast<size_t>(kThreads * kLinesEach));
    std::vector<int> NextLine(kThreads, 0);
    for (const std::wstring& Line : Lines) {
        int t = -1;
        int i = -1;
        ASSERT_EQ(swscanf(Line.c_str(), L"writer %d line %d", &t, &i), 2) << "mixed entry";
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(i, NextLine[t]++) << "lines of one writer out of order";
        EXPECT_EQ(Line.back(), L'\n');
    }
}

}  // namespace
