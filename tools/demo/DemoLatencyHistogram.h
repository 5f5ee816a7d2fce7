// Latencies in whole microseconds up to 20 ms, one counter each, so that
// recording a frame allocates nothing and percentiles are exact to 1 us.
// Longer latencies share one overflow counter; the maximum is kept exactly.
#pragma once

#include <cstdint>
#include <vector>

class DemoLatencyHistogram {
public:
    static constexpr uint32_t BinCount = 20000;

    DemoLatencyHistogram();

    void SampleAdd(double Microseconds);
    void Merge(const DemoLatencyHistogram& Other);
    void Clear();

    uint64_t CountGet() const { return m_Count; }
    double MaximumGet() const { return m_Maximum; }
    // The smallest latency that Fraction (0..1) of the samples do not
    // exceed; 0 without samples, the maximum when it lies in the overflow.
    double PercentileGet(double Fraction) const;

private:
    std::vector<uint32_t> m_Bins;
    uint64_t m_Overflow = 0;
    uint64_t m_Count = 0;
    double m_Maximum = 0;
};
