#include "DemoLatencyHistogram.h"

#include <algorithm>
#include <cmath>

DemoLatencyHistogram::DemoLatencyHistogram() : m_Bins(BinCount, 0) {}

void DemoLatencyHistogram::SampleAdd(double Microseconds) {
    const double Value = std::max(0.0, Microseconds);
    const double Bin = std::floor(Value);
    if (Bin < BinCount)
        ++m_Bins[static_cast<size_t>(Bin)];
    else
        ++m_Overflow;
    ++m_Count;
    m_Maximum = std::max(m_Maximum, Value);
}

void DemoLatencyHistogram::Merge(const DemoLatencyHistogram& Other) {
    for (size_t Index = 0; Index < m_Bins.size(); ++Index)
        m_Bins[Index] += Other.m_Bins[Index];
    m_Overflow += Other.m_Overflow;
    m_Count += Other.m_Count;
    m_Maximum = std::max(m_Maximum, Other.m_Maximum);
}

void DemoLatencyHistogram::Clear() {
    std::fill(m_Bins.begin(), m_Bins.end(), 0u);
    m_Overflow = 0;
    m_Count = 0;
    m_Maximum = 0;
}

double DemoLatencyHistogram::PercentileGet(double Fraction) const {
    if (m_Count == 0)
        return 0;
    const double Clamped = std::min(1.0, std::max(0.0, Fraction));
    // The rank of the sample sought, 1-based.
    const uint64_t Rank = std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(Clamped * static_cast<double>(m_Count))));
    uint64_t Seen = 0;
    for (size_t Index = 0; Index < m_Bins.size(); ++Index) {
        Seen += m_Bins[Index];
        if (Seen >= Rank)
            return std::min(m_Maximum, static_cast<double>(Index + 1));
    }
    return m_Maximum;
}
