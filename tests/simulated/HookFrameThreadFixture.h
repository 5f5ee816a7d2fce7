// One hook frame-buffer thread against the simulated hook display driver,
// with a recording monitor instance: driver installed, control device open,
// library log captured by the machine, and the thread stopped at the end.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RecordingMonitorInstance.h"
#include "SimulatedMachine.h"
#include "driver/ALDeviceControlHook.h"
#include "hook/ALThreadFrameBufferHook.h"
#include "library/LogLine.h"
#include "platform/machine.h"
#include "sim/SimHookDriver.h"
#include "support/ALDebugLog.h"

// Exposes what the tests reach into.
class HookFrameThreadProbe : public ALThreadFrameBufferHook {
public:
    using ALThreadFrameBufferHook::ALThreadFrameBufferHook;
    // A timer handle that no wait accepts, as when its creation had failed.
    void TimerHandleDrop() {
        CloseHandle(m_hTimer);
        m_hTimer = nullptr;
    }
    HANDLE PointerShapeEventGet() const { return FrameBuffer.EventPointerShapeChangedGet(); }
    HANDLE PointerPositionEventGet() const { return FrameBuffer.EventPointerPositionChangedGet(); }
    void ExitEventHandleDrop() {
        CloseHandle(m_hEventRequestExit);
        m_hEventRequestExit = nullptr;
    }
};

class HookFrameThreadTest : public SimulatedMachineTest {
public:
    static constexpr UINT32 kWidth = 640;
    static constexpr UINT32 kHeight = 480;
    static constexpr const wchar_t* kHookPath = L"\\\\.\\NimboHookCtrlvantor";

    void SetUp() override {
        SimulatedMachineTest::SetUp();
        MachineDebugClear();
        m_PreviousLevel = DebugLevelAL;
        DebugLevelAL = AL_DEBUG_ERROR | AL_DEBUG_THREAD;
        m_pLog = std::make_shared<RecordingLog>();
    }
    void TearDown() override {
        if (m_pThread != nullptr && m_pThread->IsRunning())
            Stop(true);
        m_pThread.reset();
        if (!m_bInstanceOwned)
            delete m_pInstance;
        m_Device.Destroy();
        MachineClockScaleSet(1);
        DebugLevelAL = m_PreviousLevel;
        SimulatedMachineTest::TearDown();
    }

    // Settings are the driver's defaults unless a test changes them first.
    void DriverInstall() {
        m_pDriver = SimHookDriver::Install(m_Settings);
        ASSERT_NE(m_pDriver, nullptr);
        ASSERT_TRUE(m_Device.Create(kHookPath));
        m_pThread = std::make_unique<HookFrameThreadProbe>(&m_Device);
        m_pInstance = new RecordingMonitorInstance(m_pLog, kWidth, kHeight);
    }
    bool Start(INT32 MonitorIndex = 0) {
        m_bInstanceOwned = m_pThread->Start(m_pInstance, MonitorIndex);
        return m_bInstanceOwned;
    }
    // Installs, starts and waits for the whole-frame update that follows the
    // first mapping.
    void StartMapped() {
        DriverInstall();
        ASSERT_TRUE(Start());
        ASSERT_TRUE(m_pLog->WaitForCount(RecordedCall::Kind::FrameBufferUpdate, 1));
    }
    // WaitForExit reports false when the thread was quicker and has already
    // taken its handle out; either way Run has ended when it returns.
    void Stop(bool bUnplug) {
        m_pThread->RequestExit(bUnplug);
        m_pThread->WaitForExit(INFINITE);
        ASSERT_TRUE(m_pLog->WaitForDeleted());
    }

    // The frame-buffer map record as the driver returned it.
    IoctlInfoMonitorFrameBuffer MapRecord() const;
    std::vector<RecordedCall> Updates() const { return m_pLog->CallsOf(RecordedCall::Kind::FrameBufferUpdate); }
    RecordedCall UpdateAwait(size_t Ordinal);  // the Ordinal-th (1-based) frame-buffer update
    static size_t LinesWith(const std::wstring& Fragment);
    // Waits until Count recorded lines contain Fragment; false after the
    // real-time safety limit.
    static bool LinesAwait(const std::wstring& Fragment, size_t Count, DWORD RealMilliseconds = 20000);
    static bool LineLogged(const std::wstring& Message);
    static int64_t MachineTicksPerSecond();

    SimHookDriver::Config m_Settings;
    std::shared_ptr<SimHookDriver> m_pDriver;
    ALDeviceControlHook m_Device;
    std::unique_ptr<HookFrameThreadProbe> m_pThread;
    RecordingMonitorInstance* m_pInstance = nullptr;
    bool m_bInstanceOwned = false;
    std::shared_ptr<RecordingLog> m_pLog;

private:
    DWORD m_PreviousLevel = 0;
};
