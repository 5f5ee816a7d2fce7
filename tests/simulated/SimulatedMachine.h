// Shared set-up of the tests that run on the simulated machine: a fresh
// device namespace, registry and process DACL for every test, and the records
// the library hands to the drivers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/machine.h"
#include "platform/win32.h"

class SimulatedMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        MachineDeviceReset();
        MachineRegistryReset();
        MachineProcessSecurityReset();
    }
    void TearDown() override {
        MachineDeviceReset();
        MachineProcessSecurityReset();
    }
};

// The monitor description of one mode (width, height, 0, 60) with the adapter
// and monitor index in front, as the monitor objects send it.
inline std::vector<uint8_t> MonitorDescriptionMake(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t Width,
                                                   uint32_t Height) {
    const uint32_t Fields[9] = {AdapterIndex, MonitorIndex, 0, 0, 1, Width, Height, 0, 60};
    std::vector<uint8_t> Record(sizeof(Fields));
    std::memcpy(Record.data(), Fields, sizeof(Fields));
    return Record;
}

// Reads a record at an address the driver handed out.
template <typename T>
T SharedRead(uint64_t Address) {
    T Value;
    std::memcpy(&Value, reinterpret_cast<const void*>(static_cast<uintptr_t>(Address)), sizeof(T));
    return Value;
}
