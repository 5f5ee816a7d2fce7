#include "DemoReport.h"

#include <cstdarg>
#include <cstdio>

namespace {

std::string Format(const char* pFormat, ...) {
    char Text[512];
    va_list Arguments;
    va_start(Arguments, pFormat);
    std::vsnprintf(Text, sizeof(Text), pFormat, Arguments);
    va_end(Arguments);
    return Text;
}

double Rate(uint64_t Frames, double Seconds) { return Seconds > 0 ? static_cast<double>(Frames) / Seconds : 0; }

}  // namespace

std::string DemoReport::LatencyTextGet(const DemoLatencyHistogram& Latency, bool bMaximum) {
    if (Latency.CountGet() == 0)
        return "-";
    std::string Text = Format("p50 %.3f ms p99 %.3f ms", Latency.PercentileGet(0.50) / 1000,
                              Latency.PercentileGet(0.99) / 1000);
    if (bMaximum)
        Text += Format(" max %.3f ms", Latency.MaximumGet() / 1000);
    return Text;
}

std::string DemoReport::ProgressLineGet(double ElapsedSeconds, const DemoStatsPeriod& Period, double PeriodSeconds,
                                        uint64_t FramesTotal, uint32_t MonitorCount) {
    const uint32_t Monitors = MonitorCount == 0 ? 1 : MonitorCount;
    return Format("%6.1f s  frames %llu  %s %.1f  latency %s  changed %.2f%%", ElapsedSeconds,
                  static_cast<unsigned long long>(FramesTotal), Monitors > 1 ? "fps/monitor" : "fps",
                  Rate(Period.Frames, PeriodSeconds) / Monitors, LatencyTextGet(Period.Latency, false).c_str(),
                  Period.ChangedShareMeanGet() * 100);
}

std::string DemoReport::MonitorSummaryGet(uint32_t Ordinal, const DemoStatsPeriod& Total, double Seconds,
                                          int64_t Presented, uint64_t Inactivity, const std::string& Picture) {
    std::string Frames = Format("%llu frames received", static_cast<unsigned long long>(Total.Frames));
    if (Presented >= 0)
        Frames += Format(" of %lld presented", static_cast<long long>(Presented));
    return Format("  monitor %u: %s, %.1f fps, latency %s (%llu measured), changed %.2f%% per frame, "
                  "%llu inactivity notices, last frame %s",
                  Ordinal, Frames.c_str(), Rate(Total.Frames, Seconds), LatencyTextGet(Total.Latency, true).c_str(),
                  static_cast<unsigned long long>(Total.Latency.CountGet()), Total.ChangedShareMeanGet() * 100,
                  static_cast<unsigned long long>(Inactivity), Picture.c_str());
}
