// The high-level API on the simulated machine: both simulated drivers
// installed (eight monitor slots each, no "MonitorCount" written, so that
// tests choose it), a fresh API object per test, recording monitor
// instances, and afterwards every thread, handle and description record the
// library took must have been given back.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "RecordingMonitorInstance.h"
#include "SimulatedMachine.h"
#include "api/ALApiHighLevel.h"
#include "platform/machine.h"
#include "sim/SimHookDriver.h"
#include "sim/SimIddCxDriver.h"
#include "support/ALDebugLog.h"

class ApiHighLevelTest : public SimulatedMachineTest {
public:
    static constexpr const wchar_t* kHookPath = L"\\\\.\\NimboHookCtrlvantor";
    static constexpr const wchar_t* kIddCxPath = L"\\\\.\\NimboIndirectCtrlkorvaxHalden";
    static constexpr const wchar_t* kAssignmentKey =
        L"Software\\quillark\\Nimbo\\Enum\\{5A1B7E0C-0D2E-4F6A-9B8C-7D6E5F4A3B2C}";

protected:
    void SetUp() override {
        SimulatedMachineTest::SetUp();
        MachineD3DReset();
        MachineDebugClear();
        m_HandlesBefore = MachineHandlesLive();
        m_ThreadsBefore = MachineThreadsLive();
        m_LocalBlocksBefore = MachineLocalBlocksLive();
        m_ModuleReferencesBefore = MachineModuleReferencesLive();
        SimHookDriver::Config HookSettings;
        HookSettings.MonitorCount = 8;
        HookSettings.bRegistryWrite = false;
        m_pHookDriver = SimHookDriver::Install(HookSettings);
        SimIddCxDriver::Config IddCxSettings;
        IddCxSettings.MonitorCount = 8;
        IddCxSettings.bRegistryWrite = false;
        m_pIddCxDriver = SimIddCxDriver::Install(IddCxSettings);
        ASSERT_NE(m_pHookDriver, nullptr);
        ASSERT_NE(m_pIddCxDriver, nullptr);
        // The constructor reads the level from the registry, so it is set after.
        m_pApi = std::make_unique<ALApiHighLevel>();
        m_PreviousLevel = DebugLevelAL;
        DebugLevelAL = AL_DEBUG_ERROR | AL_DEBUG_PNP | AL_DEBUG_DRIVER_CONTROL;
        m_pLog = std::make_shared<RecordingLog>();
    }
    void TearDown() override {
        if (m_pApi != nullptr)
            m_pApi->Uninitialize(true);
        m_pApi.reset();
        m_pHookDriver->Uninstall();
        m_pIddCxDriver->Uninstall();
        m_pHookDriver.reset();
        m_pIddCxDriver.reset();
        MachineDeviceReset();
        MachineD3DReset();
        EXPECT_EQ(MachineHandlesLive(), m_HandlesBefore) << "a handle was leaked";
        EXPECT_EQ(MachineThreadsLive(), m_ThreadsBefore) << "a thread is still running";
        EXPECT_EQ(MachineLocalBlocksLive(), m_LocalBlocksBefore) << "a description record was leaked";
        EXPECT_EQ(MachineModuleReferencesLive(), m_ModuleReferencesBefore + m_ModuleReferencesKept);
        DebugLevelAL = m_PreviousLevel;
        SimulatedMachineTest::TearDown();
    }

    bool Initialize(int ApiType) { return m_pApi->Initialize(ApiType == 0 ? kHookPath : kIddCxPath, ApiType); }
    // Plugs a new recording instance; on success the thread owns it, on
    // failure it is deleted here. Returns the instance (null on failure).
    RecordingMonitorInstance* Plug() {
        auto* pInstance = new RecordingMonitorInstance(m_pLog, 640, 480);
        if (m_pApi->DisplayMonitorPlug(pInstance))
            return pInstance;
        delete pInstance;
        return nullptr;
    }
    // Plugs with the given index stored as the instance's last one.
    RecordingMonitorInstance* PlugAt(uint32_t StoredIndex) {
        DwordWrite(kAssignmentKey, L"MonitorAssignment", StoredIndex, REG_BINARY);
        return Plug();
    }
    // The monitor index of the running thread at list position Position, -1 when none.
    int MonitorIndexAt(uint32_t Position) {
        int TargetId = 0;
        int VideoPresentTargetId = 0;
        m_pApi->DisplayMonitorAssignmentEnumerate(Position, &TargetId, &VideoPresentTargetId, nullptr);
        return TargetId;
    }
    bool DriverHasMonitor(int ApiType, uint32_t MonitorIndex) const {
        return ApiType == 0 ? m_pHookDriver->MonitorIsPlugged(0, MonitorIndex)
                            : m_pIddCxDriver->MonitorIsPlugged(MonitorIndex);
    }
    static void DwordWrite(const std::wstring& KeyPath, const wchar_t* pName, uint32_t Value, DWORD Type) {
        HKEY hKey = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(hKey, pName, 0, Type, reinterpret_cast<const BYTE*>(&Value), sizeof(Value)),
                  ERROR_SUCCESS);
        RegCloseKey(hKey);
    }
    // The value's type and first four bytes; nullopt when it cannot be read.
    static std::optional<std::pair<DWORD, uint32_t>> DwordRead(const std::wstring& KeyPath, const wchar_t* pName) {
        HKEY hKey = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return std::nullopt;
        uint32_t Value = 0;
        DWORD Type = 0;
        DWORD Size = sizeof(Value);
        const LSTATUS Status =
            RegQueryValueExW(hKey, pName, nullptr, &Type, reinterpret_cast<BYTE*>(&Value), &Size);
        RegCloseKey(hKey);
        if (Status != ERROR_SUCCESS || Size != sizeof(Value))
            return std::nullopt;
        return std::make_pair(Type, Value);
    }
    static bool Logged(const std::wstring& Fragment) {
        for (const auto& Line : MachineDebugLines())
            if (Line.find(Fragment) != std::wstring::npos)
                return true;
        return false;
    }

    std::unique_ptr<ALApiHighLevel> m_pApi;
    std::shared_ptr<SimHookDriver> m_pHookDriver;
    std::shared_ptr<SimIddCxDriver> m_pIddCxDriver;
    std::shared_ptr<RecordingLog> m_pLog;
    long m_ModuleReferencesBefore = 0;
    long m_ModuleReferencesKept = 0;  // references a test leaves on purpose

private:
    long m_HandlesBefore = 0;
    long m_ThreadsBefore = 0;
    long m_LocalBlocksBefore = 0;
    DWORD m_PreviousLevel = 0;
};
