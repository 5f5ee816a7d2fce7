#include "DemoHost.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "DemoApiSession.h"
#include "DemoMonitorInstance.h"
#include "DemoPngWriter.h"
#include "DemoReport.h"
#include "DemoTerminal.h"
#include "api/INimboApi.h"

namespace {

constexpr uint32_t kVisibleWaitMilliseconds = 5000;
constexpr auto kProgressPeriod = std::chrono::milliseconds(500);
constexpr auto kInterruptCheck = std::chrono::milliseconds(50);

const wchar_t* DevicePathGet(DemoOptions::Driver Kind) {
    return Kind == DemoOptions::Driver::Hook ? L"\\\\.\\NimboHookCtrlvantor" : L"\\\\.\\NimboIndirectCtrlkorvaxHalden";
}

}  // namespace

DemoHost::DemoHost(const DemoOptions& Options, std::unique_ptr<DemoDriverSide> pDriverSide,
                   const std::atomic<bool>& bInterrupted)
    : m_Options(Options), m_pDriverSide(std::move(pDriverSide)), m_bInterrupted(bInterrupted) {}

void DemoHost::PrivateFailure(const std::string& Message) {
    std::fflush(stdout);
    std::fprintf(stderr, "nimbo-demo: %s\n", Message.c_str());
}

int DemoHost::Run() {
    m_bTerminal = DemoTerminal::StandardOutputIsTerminal();
    std::printf("nimbo-demo: %u monitor%s of %ux%u on %s for %.1f s\n", m_Options.MonitorCount,
                m_Options.MonitorCount == 1 ? "" : "s", m_Options.Width, m_Options.Height,
                m_pDriverSide->DescriptionGet(m_Options).c_str(), m_Options.DurationSeconds);
    std::string Error;
    if (!m_pDriverSide->Prepare(m_Options, &Error)) {
        PrivateFailure(Error);
        return 1;
    }
    INimboApi* pApi = NimboApiGet();
    if (pApi == nullptr) {
        PrivateFailure("NimboApiGet returned no API object");
        m_pDriverSide->Finish();
        return 1;
    }
    const int ApiType =
        m_Options.DriverKind == DemoOptions::Driver::Hook ? NIMBO_API_TYPE_HOOK_DRIVER : NIMBO_API_TYPE_IDDCX_DRIVER;
    if (!pApi->Initialize(DevicePathGet(m_Options.DriverKind), ApiType)) {
        PrivateFailure("the library could not open the driver's control device: is the driver installed? (the "
                       "library's log at level 0x1 tells why)");
        m_pDriverSide->Finish();
        return 1;
    }
    double Seconds = 0;
    {
        DemoApiSession Session(*pApi);
        if (!PrivateMonitorsPlug(*pApi)) {
            Session.End();
            m_pDriverSide->Finish();
            return 1;
        }
        PrivateVisibilityAwait();
        if (!m_pDriverSide->ContentStart(&Error)) {
            PrivateFailure(Error);
            m_pDriverSide->ContentStop();
            Session.End();
            m_pDriverSide->Finish();
            return 1;
        }
        Seconds = PrivateProgressRun();
        m_pDriverSide->ContentStop();
        // Every frame-buffer thread ends here: MonitorStop, then the
        // library deletes the instances; the records stay with us.
        Session.End();
    }
    const bool bWritten = PrivateResultsWrite(Seconds);
    m_pDriverSide->Finish();
    if (!bWritten)
        return 1;
    return m_bInterrupted.load() ? ExitInterrupted : 0;
}

bool DemoHost::PrivateMonitorsPlug(INimboApi& Api) {
    for (uint32_t Ordinal = 0; Ordinal < m_Options.MonitorCount; ++Ordinal) {
        auto pRecord = std::make_shared<DemoMonitorRecord>();
        pRecord->Ordinal = Ordinal;
        pRecord->pClock = m_pDriverSide->PresentationClockCreate();
        auto* pInstance = new DemoMonitorInstance(pRecord, m_Options.Width, m_Options.Height);
        if (!Api.DisplayMonitorPlug(pInstance)) {
            // A failed plug leaves the instance with us.
            delete pInstance;
            PrivateFailure("the library could not plug monitor " + std::to_string(Ordinal) +
                           " (the library's log at level 0x1 tells why)");
            return false;
        }
        m_Monitors.push_back(pRecord);
        std::string Error;
        if (!m_pDriverSide->MonitorPlugged(Ordinal, &Error)) {
            PrivateFailure(Error);
            return false;
        }
    }
    return true;
}

void DemoHost::PrivateVisibilityAwait() {
    for (const auto& pRecord : m_Monitors)
        if (!pRecord->Stats.VisibleAwait(kVisibleWaitMilliseconds))
            std::printf("nimbo-demo: monitor %u is not visible yet; going on\n", pRecord->Ordinal);
}

void DemoHost::PrivateProgressPrint(const std::string& Line, bool bFinal) {
    if (m_bTerminal) {
        // Rewritten in place; spaces clear what a longer line left.
        const size_t Pad = m_ProgressWidth > Line.size() ? m_ProgressWidth - Line.size() : 0;
        std::printf("\r%s%*s%s", Line.c_str(), static_cast<int>(Pad), "", bFinal ? "\n" : "");
        m_ProgressWidth = Line.size();
    } else {
        std::printf("%s\n", Line.c_str());
    }
    std::fflush(stdout);
}

double DemoHost::PrivateProgressRun() {
    using Clock = std::chrono::steady_clock;
    const auto Start = Clock::now();
    const auto End = Start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(m_Options.DurationSeconds));
    auto PeriodStart = Start;
    uint64_t FramesTotal = 0;
    bool bDone = false;
    while (!bDone) {
        const auto Due = std::min(End, PeriodStart + kProgressPeriod);
        while (Clock::now() < Due && !m_bInterrupted.load())
            std::this_thread::sleep_for(std::min<Clock::duration>(kInterruptCheck, Due - Clock::now()));
        const auto Now = Clock::now();
        bDone = Now >= End || m_bInterrupted.load();
        DemoStatsPeriod Period;
        for (const auto& pRecord : m_Monitors)
            Period.Merge(pRecord->Stats.PeriodTake());
        FramesTotal += Period.Frames;
        const double PeriodSeconds = std::chrono::duration<double>(Now - PeriodStart).count();
        const double Elapsed = std::chrono::duration<double>(Now - Start).count();
        PrivateProgressPrint(
            DemoReport::ProgressLineGet(Elapsed, Period, PeriodSeconds, FramesTotal, m_Options.MonitorCount), bDone);
        PeriodStart = Now;
    }
    if (m_bInterrupted.load())
        std::printf("nimbo-demo: interrupted\n");
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

bool DemoHost::PrivateResultsWrite(double Seconds) {
    std::error_code ErrorCode;
    std::filesystem::create_directories(m_Options.OutDir, ErrorCode);
    if (ErrorCode) {
        PrivateFailure("cannot create " + m_Options.OutDir + ": " + ErrorCode.message());
        return false;
    }
    bool bAll = true;
    std::printf("summary (%.1f s):\n", Seconds);
    DemoStatsPeriod All;
    for (const auto& pRecord : m_Monitors) {
        const DemoStatsPeriod Total = pRecord->Stats.TotalGet();
        All.Merge(Total);
        const std::string Path =
            (std::filesystem::path(m_Options.OutDir) / ("monitor-" + std::to_string(pRecord->Ordinal) + ".png"))
                .string();
        std::string Picture = Path;
        if (Total.Frames == 0) {
            Picture = "none (no frame received)";
            bAll = false;
        } else if (!DemoPngWriter::Write(pRecord->Image, Path)) {
            Picture = "none (" + Path + " could not be written)";
            bAll = false;
        }
        uint64_t Presented = 0;
        const bool bPresentedKnown = m_pDriverSide->FramesPresentedGet(pRecord->Ordinal, &Presented);
        std::printf("%s\n", DemoReport::MonitorSummaryGet(pRecord->Ordinal, Total, Seconds,
                                                          bPresentedKnown ? static_cast<int64_t>(Presented) : -1,
                                                          pRecord->Stats.InactivityCountGet(), Picture)
                                .c_str());
        if (!pRecord->Stats.StoppedIs()) {
            std::printf("  monitor %u: the library did not stop its instance\n", pRecord->Ordinal);
            bAll = false;
        }
    }
    if (m_Monitors.size() > 1)
        std::printf("  all: %llu frames, latency %s, changed %.2f%% per frame\n",
                    static_cast<unsigned long long>(All.Frames), DemoReport::LatencyTextGet(All.Latency, true).c_str(),
                    All.ChangedShareMeanGet() * 100);
    if (!bAll)
        PrivateFailure("not every monitor's last frame was written");
    return bAll;
}
