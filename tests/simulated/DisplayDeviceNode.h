// Root display device nodes on the simulated device tree, as the setup
// program leaves them: registered, with an interface of a class, and a
// status that tells whether the driver started.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/ALDeviceControlIddCx.h"
#include "platform/machine.h"
#include "platform/setupapi.h"

class DisplayDeviceNode {
public:
    static constexpr GUID kDisplayClass = {0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    static constexpr DEVPROPKEY kDevNodeStatus = {
        {0x4340A6C5, 0x93FA, 0x4706, {0x97, 0x2C, 0x7B, 0x64, 0x80, 0x08, 0xA5, 0xA7}}, 2};

    // A registered root display device (no driver: not started) with an
    // interface of InterfaceClass; returns its instance id.
    static std::wstring Add(const GUID& InterfaceClass = ALDeviceControlIddCx::InterfaceClassGuid) {
        HDEVINFO hSet = SetupDiCreateDeviceInfoList(&kDisplayClass, nullptr);
        SP_DEVINFO_DATA Data{};
        Data.cbSize = sizeof(Data);
        EXPECT_TRUE(SetupDiCreateDeviceInfoW(hSet, L"DISPLAY", &kDisplayClass, nullptr, nullptr, DICD_GENERATE_ID, &Data));
        EXPECT_TRUE(SetupDiCallClassInstaller(DIF_REGISTERDEVICE, hSet, &Data));
        wchar_t InstanceId[64] = {};
        EXPECT_TRUE(SetupDiGetDeviceInstanceIdW(hSet, &Data, InstanceId, 64, nullptr));
        SetupDiDestroyDeviceInfoList(hSet);
        EXPECT_FALSE(MachineDeviceInterfaceAdd(InstanceId, InterfaceClass).empty());
        return InstanceId;
    }
    static void StatusSet(const std::wstring& InstanceId, DWORD Status, DEVPROPTYPE Type = DEVPROP_TYPE_UINT32) {
        std::vector<BYTE> Value(sizeof(Status));
        std::memcpy(Value.data(), &Status, sizeof(Status));
        ASSERT_TRUE(MachineDevicePropertySet(InstanceId, kDevNodeStatus, Type, Value));
    }
};
