// Percentiles of the demo's latency histogram: exact to the microsecond,
// the maximum for samples beyond its range, and merged periods.
#include <gtest/gtest.h>

#include "DemoLatencyHistogram.h"

namespace {

TEST(DemoLatencyHistogramTest, PercentilesOfOneToAHundredMicroseconds) {
    DemoLatencyHistogram Latency;
    EXPECT_EQ(Latency.PercentileGet(0.5), 0);  // no samples
    for (int Sample = 100; Sample >= 1; --Sample)
        Latency.SampleAdd(Sample - 0.5);  // within the microsecond below Sample
    EXPECT_EQ(Latency.CountGet(), 100u);
    EXPECT_DOUBLE_EQ(Latency.PercentileGet(0.50), 50);
    EXPECT_DOUBLE_EQ(Latency.PercentileGet(0.99), 99);
    EXPECT_DOUBLE_EQ(Latency.PercentileGet(1.0), 99.5);  // never above the maximum
    EXPECT_DOUBLE_EQ(Latency.MaximumGet(), 99.5);
}

TEST(DemoLatencyHistogramTest, SamplesBeyondTheRangeReportTheMaximum) {
    DemoLatencyHistogram Latency;
    Latency.SampleAdd(10);
    Latency.SampleAdd(50000);
    Latency.SampleAdd(-3);  // a clock step backwards counts as 0
    EXPECT_DOUBLE_EQ(Latency.PercentileGet(0.99), 50000);
    EXPECT_DOUBLE_EQ(Latency.PercentileGet(0.34), 11);
    EXPECT_DOUBLE_EQ(Latency.PercentileGet(0.0), 1);
}

TEST(DemoLatencyHistogramTest, MergeAddsCountsAndKeepsTheLargerMaximum) {
    DemoLatencyHistogram A;
    DemoLatencyHistogram B;
    A.SampleAdd(5);
    B.SampleAdd(7);
    B.SampleAdd(30000);
    A.Merge(B);
    EXPECT_EQ(A.CountGet(), 3u);
    EXPECT_DOUBLE_EQ(A.MaximumGet(), 30000);
    EXPECT_DOUBLE_EQ(A.PercentileGet(0.5), 8);
    A.Clear();
    EXPECT_EQ(A.CountGet(), 0u);
    EXPECT_EQ(A.MaximumGet(), 0);
}

}  // namespace
