// Tests of the indirect display frame pipeline on the simulated machine: a
// fresh machine, the simulated indirect display driver installed and its
// control device open for every test; afterwards every handle, thread,
// local block, scheduler join, Direct3D reference and driver texture the
// library took must have been given back, and nothing may have misused the
// immediate context.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "driver/ALDeviceControlIddCx.h"
#include "driver/ALIoctlCode.h"
#include "platform/machine.h"
#include "sim/SimFramePattern.h"
#include "sim/SimIddCxDriver.h"
#include "support/ALDebugLog.h"

class IndirectPipelineTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kDevicePath = L"\\\\.\\NimboIndirectCtrlkorvaxHalden";
    static constexpr LUID kRenderLuid{0x0000D3D0, 0};

    void SetUp() override {
        MachineDeviceReset();
        MachineRegistryReset();
        MachineProcessSecurityReset();
        MachineD3DReset();
        MachineDebugClear();
        m_HandlesBefore = MachineHandlesLive();
        m_ThreadsBefore = MachineThreadsLive();
        m_LocalBlocksBefore = MachineLocalBlocksLive();
        m_JoinsBefore = MachineAvrtJoinsLive();
        m_HazardsBefore = MachineD3DContextHazardCount();
        m_pDriver = SimIddCxDriver::Install(DriverConfig());
        ASSERT_NE(m_pDriver, nullptr);
        ASSERT_TRUE(m_DeviceControl.Create(kDevicePath));
    }
    void TearDown() override {
        m_DeviceControl.Destroy();
        EXPECT_EQ(MachineD3DObjectsLive(), 0) << "a Direct3D reference was leaked";
        EXPECT_EQ(m_pDriver->TexturesInUseCount(), 0u) << "a frame texture of the driver is still held";
        m_pDriver->Uninstall();
        m_pDriver.reset();
        MachineDeviceReset();
        MachineClockScaleSet(1.0);
        MachineD3DReset();
        EXPECT_EQ(MachineHandlesLive(), m_HandlesBefore) << "a handle was leaked";
        EXPECT_EQ(MachineThreadsLive(), m_ThreadsBefore);
        EXPECT_EQ(MachineLocalBlocksLive(), m_LocalBlocksBefore) << "a description record was leaked";
        EXPECT_EQ(MachineAvrtJoinsLive(), m_JoinsBefore);
        EXPECT_EQ(MachineD3DContextHazardCount(), m_HazardsBefore) << "the immediate context was misused";
        MachineProcessSecurityReset();
        if (m_bLevelSet)
            DebugLevelAL = m_LevelBefore;
    }
    // The library's log level for the rest of the test. Call it before any
    // library thread runs (the level is read without a lock); it is put back
    // after the last one has ended.
    void LogLevelSet(DWORD Level) {
        if (!m_bLevelSet)
            m_LevelBefore = DebugLevelAL;
        m_bLevelSet = true;
        DebugLevelAL = Level;
    }
    virtual SimIddCxDriver::Config DriverConfig() { return SimIddCxDriver::Config(); }

    // Requests of a kind the driver received.
    size_t RequestCount(DWORD Code) { return m_pDriver->Requests().CountOfCode(Code); }

    ALDeviceControlIddCx m_DeviceControl;
    std::shared_ptr<SimIddCxDriver> m_pDriver;
    long m_HandlesBefore = 0;
    long m_ThreadsBefore = 0;
    long m_LocalBlocksBefore = 0;
    long m_JoinsBefore = 0;
    long m_HazardsBefore = 0;
    bool m_bLevelSet = false;
    DWORD m_LevelBefore = 0;
};

// The pictures the simulated driver draws, frame by frame: the same pattern
// computed beside it.
class ExpectedFrames {
public:
    ExpectedFrames(uint32_t Width, uint32_t Height)
        : m_Width(Width), m_Height(Height), m_Pattern(Width, Height), m_Pixels(size_t(Width) * Height * 4) {}
    // Draws the next frame; returns its changed rectangle.
    RECT Next() { return m_Pattern.Step(m_Pixels.data(), m_Width * 4); }
    uint32_t At(uint32_t X, uint32_t Y) const {
        uint32_t Value;
        std::memcpy(&Value, &m_Pixels[(size_t(Y) * m_Width + X) * 4], 4);
        return Value;
    }
    std::vector<uint8_t> Snapshot() const { return m_Pixels; }
    static uint32_t At(const std::vector<uint8_t>& Pixels, uint32_t Width, uint32_t X, uint32_t Y) {
        uint32_t Value;
        std::memcpy(&Value, &Pixels[(size_t(Y) * Width + X) * 4], 4);
        return Value;
    }

private:
    uint32_t m_Width;
    uint32_t m_Height;
    SimFramePattern m_Pattern;
    std::vector<uint8_t> m_Pixels;
};

inline bool RectContains(const RECT& Outer, const RECT& Inner) {
    return Outer.left <= Inner.left && Outer.top <= Inner.top && Outer.right >= Inner.right &&
           Outer.bottom >= Inner.bottom;
}

inline bool RectEqual(const RECT& A, const RECT& B) {
    return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}
