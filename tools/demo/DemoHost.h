// One run of the demo: the driver's side prepared, the library initialised
// for the chosen driver through INimboApi, the monitors plugged with the
// demo's own instances, live progress for the chosen time, then every
// monitor ended (the library always uninitialised once it was initialised),
// the PNGs written and the summary printed.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "DemoDriverSide.h"
#include "DemoMonitorRecord.h"
#include "DemoOptions.h"

class INimboApi;

class DemoHost {
public:
    DemoHost(const DemoOptions& Options, std::unique_ptr<DemoDriverSide> pDriverSide,
             const std::atomic<bool>& bInterrupted);

    // Interrupted (Ctrl-C) but shut down cleanly, pictures written.
    static constexpr int ExitInterrupted = 130;

    // The process's exit code: 0 when every monitor received frames and its
    // picture was written, 1 when not, ExitInterrupted.
    int Run();

private:
    // Plugs every monitor; false (with the message printed) at the first
    // that fails.
    bool PrivateMonitorsPlug(INimboApi& Api);
    void PrivateVisibilityAwait();
    // Progress lines until the run time is over or the run is interrupted;
    // returns the seconds it ran.
    double PrivateProgressRun();
    void PrivateProgressPrint(const std::string& Line, bool bFinal);
    // PNGs and the summary; false when a monitor got no frame or its
    // picture could not be written.
    bool PrivateResultsWrite(double Seconds);
    static void PrivateFailure(const std::string& Message);

    const DemoOptions m_Options;
    const std::unique_ptr<DemoDriverSide> m_pDriverSide;
    const std::atomic<bool>& m_bInterrupted;
    std::vector<std::shared_ptr<DemoMonitorRecord>> m_Monitors;
    bool m_bTerminal = false;
    size_t m_ProgressWidth = 0;
};
