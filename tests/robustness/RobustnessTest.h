// The robustness tests' machine: both simulated drivers installed with eight
// monitor slots each (and "MonitorCount" 8 written for the library to read),
// a fresh high-level API object per test driven as a host would through
// INimboApi, small monitors so that a cycle is cheap, a sped-up machine
// clock so that the library's retries and pauses cost little real time, and
// afterwards every handle, thread, heap block, registry key, Direct3D object,
// scheduler join, driver view and driver texture the library took must have
// been given back.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "CountingMonitorInstance.h"
#include "MachineCounters.h"
#include "MonitorTally.h"
#include "PluggedMonitor.h"
#include "api/ALApiHighLevel.h"
#include "platform/machine.h"
#include "sim/SimHookDriver.h"
#include "sim/SimIddCxDriver.h"

enum class DriverKind { Hook = 0, Indirect = 1 };

inline void PrintTo(DriverKind Driver, std::ostream* pOut) { *pOut << (Driver == DriverKind::Hook ? "Hook" : "Indirect"); }

class RobustnessTest : public ::testing::Test {
public:
    static constexpr UINT32 kWidth = 64;
    static constexpr UINT32 kHeight = 48;
    static constexpr uint32_t kSlots = 8;
    static constexpr double kClockScale = 50.0;
    static constexpr DWORD kSafetyMilliseconds = 20000;  // a hang, never a timing

protected:
    void SetUp() override;
    void TearDown() override;

    static const wchar_t* DevicePath(DriverKind Driver);
    bool Initialize(DriverKind Driver);
    // Plugs a new instance with Index stored as its last index, so the
    // library chooses it when it is free.
    PluggedMonitor PlugAt(uint32_t Index);
    void Unplug(PluggedMonitor& Monitor, bool bUnplug = true);

    // Waits for the first frame of a freshly plugged monitor: the hook
    // driver's monitor is mapped on its visibility event and sends the whole
    // frame; the indirect display monitor gets one presented frame.
    bool FirstFrameAwait(DriverKind Driver, const PluggedMonitor& Monitor);
    // Presents one frame (with the update Flags on the hook driver) and
    // waits until the instance received an update after it.
    bool FrameDeliver(DriverKind Driver, const PluggedMonitor& Monitor, uint32_t Flags = 0);
    // Presents without waiting; false when the driver took no frame.
    bool FramePresent(DriverKind Driver, const PluggedMonitor& Monitor, uint32_t Flags = 0);
    // Waits until every library worker thread is blocked in its wait, so
    // that no driver request is under way: one per hook monitor, two per
    // indirect display monitor with a swap chain.
    bool Quiesce(long WorkerThreads);
    bool DriverHasMonitor(DriverKind Driver, uint32_t Index) const;
    SimDriverBase& DriverOf(DriverKind Driver);

    static bool Logged(const std::wstring& Fragment);
    static bool LogAwait(const std::wstring& Fragment);
    static void StoredIndexWrite(uint32_t Index);
    static void RegistryDwordWrite(const std::wstring& KeyPath, const wchar_t* pName, uint32_t Value, DWORD Type);

    std::unique_ptr<ALApiHighLevel> m_pApi;
    std::shared_ptr<SimHookDriver> m_pHookDriver;
    std::shared_ptr<SimIddCxDriver> m_pIddCxDriver;
    MachineCounters m_Before;

private:
    DWORD m_LevelBefore = 0;
};
