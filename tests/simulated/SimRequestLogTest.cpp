// The simulated drivers' request log over a long run: it keeps only the most
// recent requests, oldest first, while its counts and waits cover every
// request since the last Clear.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "sim/SimRequestLog.h"

namespace {

constexpr DWORD kCodeA = 0x00226000;
constexpr DWORD kCodeB = 0x00226004;

SimRequest RequestOf(DWORD Code, uint64_t FileId) {
    SimRequest Request;
    Request.Code = Code;
    Request.FileId = FileId;
    return Request;
}

std::vector<uint64_t> FileIdsOf(const std::vector<SimRequest>& Requests) {
    std::vector<uint64_t> FileIds;
    for (const auto& Request : Requests)
        FileIds.push_back(Request.FileId);
    return FileIds;
}

TEST(SimRequestLog, KeepsTheMostRecentRequestsAndCountsEveryOne) {
    SimRequestLog Log(4);
    for (uint64_t Index = 1; Index <= 10; ++Index)
        Log.Append(RequestOf(Index % 3 == 0 ? kCodeB : kCodeA, Index));
    EXPECT_EQ(FileIdsOf(Log.List()), (std::vector<uint64_t>{7, 8, 9, 10}));
    EXPECT_EQ(FileIdsOf(Log.ListOfCode(kCodeB)), (std::vector<uint64_t>{9}));
    EXPECT_EQ(Log.Count(), 10u);
    EXPECT_EQ(Log.CountOfCode(kCodeA), 7u);
    EXPECT_EQ(Log.CountOfCode(kCodeB), 3u);
    EXPECT_TRUE(Log.WaitForCountOfCode(kCodeB, 3, 0));
    EXPECT_FALSE(Log.WaitForCountOfCode(kCodeB, 4, 0));
}

TEST(SimRequestLog, BelowTheLimitEveryRequestIsListedInOrder) {
    SimRequestLog Log(4);
    for (uint64_t Index = 1; Index <= 3; ++Index)
        Log.Append(RequestOf(kCodeA, Index));
    EXPECT_EQ(FileIdsOf(Log.List()), (std::vector<uint64_t>{1, 2, 3}));
}

TEST(SimRequestLog, ClearForgetsRequestsAndCounts) {
    SimRequestLog Log(2);
    for (uint64_t Index = 1; Index <= 5; ++Index)
        Log.Append(RequestOf(kCodeA, Index));
    Log.Clear();
    EXPECT_TRUE(Log.List().empty());
    EXPECT_EQ(Log.Count(), 0u);
    EXPECT_EQ(Log.CountOfCode(kCodeA), 0u);
    Log.Append(RequestOf(kCodeB, 6));
    Log.Append(RequestOf(kCodeB, 7));
    Log.Append(RequestOf(kCodeB, 8));
    EXPECT_EQ(FileIdsOf(Log.List()), (std::vector<uint64_t>{7, 8}));
    EXPECT_EQ(Log.Count(), 3u);
}

TEST(SimRequestLog, AWaiterSeesRequestsThatLeftTheRing) {
    SimRequestLog Log(1);
    std::thread Driver([&] {
        for (uint64_t Index = 1; Index <= 50; ++Index)
            Log.Append(RequestOf(kCodeA, Index));
    });
    EXPECT_TRUE(Log.WaitForCountOfCode(kCodeA, 50, 20000));
    Driver.join();
    EXPECT_EQ(FileIdsOf(Log.List()), (std::vector<uint64_t>{50}));
}

}  // namespace
