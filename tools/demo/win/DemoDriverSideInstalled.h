// The driver's side on Windows: the installed driver and Windows itself
// present the frames, so the demo has nothing to set up and does not know
// when a frame was presented.
#pragma once

#include "DemoDriverSide.h"

class DemoDriverSideInstalled : public DemoDriverSide {
public:
    std::string DescriptionGet(const DemoOptions& Options) const override;
    bool Prepare(const DemoOptions& Options, std::string* pError) override;
    std::shared_ptr<DemoPresentationClock> PresentationClockCreate() override { return nullptr; }
    bool MonitorPlugged(size_t, std::string*) override { return true; }
    bool ContentStart(std::string*) override { return true; }
    void ContentStop() override {}
    bool FramesPresentedGet(size_t, uint64_t*) const override { return false; }
    void Finish() override {}
};
