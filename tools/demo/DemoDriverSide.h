// The other side of the display driver, as far as the demo needs it. On the
// simulated platform the demo plays it: it registers the simulated driver,
// presents moving content on each plugged monitor and knows when each frame
// was presented. Against an installed driver on Windows, Windows and the
// driver play it and this does nothing. The build picks the implementation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "DemoOptions.h"
#include "DemoPresentationClock.h"

class DemoDriverSide {
public:
    static std::unique_ptr<DemoDriverSide> Create();
    virtual ~DemoDriverSide() = default;

    // What the host runs against, for its first line.
    virtual std::string DescriptionGet(const DemoOptions& Options) const = 0;
    // Before the library is used: the driver's side ready and the library's
    // log level in effect. False with a reason.
    virtual bool Prepare(const DemoOptions& Options, std::string* pError) = 0;
    // The presentation clock of the next monitor to plug; null when
    // presentation times are not known.
    virtual std::shared_ptr<DemoPresentationClock> PresentationClockCreate() = 0;
    // The monitor of the Ordinal-th clock was plugged just now.
    virtual bool MonitorPlugged(size_t Ordinal, std::string* pError) = 0;
    // Content on every plugged monitor from now until ContentStop.
    virtual bool ContentStart(std::string* pError) = 0;
    virtual void ContentStop() = 0;
    // Frames presented on the Ordinal-th monitor; false when not known.
    virtual bool FramesPresentedGet(size_t Ordinal, uint64_t* pCount) const = 0;
    // After the library let go of the driver.
    virtual void Finish() = 0;
};
