// The driver's side on the simulated machine: the chosen simulated display
// driver registered under its control device, the library's log level
// seeded in the machine's registry (its lines echoed to stderr), and one
// presenter per plugged monitor drawing the simulated pattern at 60 frames
// per second, each presentation noted in the monitor's presentation log.
#pragma once

#include <memory>
#include <vector>

#include "DemoDriverSide.h"
#include "posix/DemoPresentationLog.h"
#include "sim/SimFramePresenter.h"
#include "sim/SimHookDriver.h"
#include "sim/SimIddCxDriver.h"

class DemoDriverSideSimulated : public DemoDriverSide {
public:
    static constexpr double FramesPerSecond = 60;

    ~DemoDriverSideSimulated() override;

    std::string DescriptionGet(const DemoOptions& Options) const override;
    bool Prepare(const DemoOptions& Options, std::string* pError) override;
    std::shared_ptr<DemoPresentationClock> PresentationClockCreate() override;
    bool MonitorPlugged(size_t Ordinal, std::string* pError) override;
    bool ContentStart(std::string* pError) override;
    void ContentStop() override;
    bool FramesPresentedGet(size_t Ordinal, uint64_t* pCount) const override;
    void Finish() override;

private:
    struct Monitor {
        std::shared_ptr<DemoPresentationLog> pLog;
        bool bPlugged = false;
        uint32_t AdapterIndex = 0;
        uint32_t SlotIndex = 0;
        std::unique_ptr<SimFramePresenter> pPresenter;
    };

    static bool PrivateDebugLevelSeed(uint32_t Level, std::string* pError);
    // A plugged slot that no monitor of ours holds yet; false when none.
    bool PrivateSlotFind(uint32_t* pAdapterIndex, uint32_t* pSlotIndex, uint32_t* pWidth, uint32_t* pHeight) const;
    bool PrivateSlotTaken(uint32_t AdapterIndex, uint32_t SlotIndex) const;
    // One presentation on a monitor; false when the driver took no frame.
    bool PrivatePresent(Monitor& Target);

    std::shared_ptr<SimIddCxDriver> m_pIddCxDriver;
    std::shared_ptr<SimHookDriver> m_pHookDriver;
    uint32_t m_AdapterCount = 1;
    uint32_t m_SlotCount = 0;
    std::vector<std::unique_ptr<Monitor>> m_Monitors;  // presenters hold their monitor's address
};
