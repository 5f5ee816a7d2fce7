// The named devices of the simulated machine: "\\.\Name" -> the driver that
// registered Name. Names compare case-insensitively, as object names do.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "machine_device.h"

class DeviceNamespace {
public:
    static DeviceNamespace& Instance();

    bool Register(const std::wstring& Name, std::shared_ptr<MachineDeviceDriver> pDriver);
    bool Unregister(const std::wstring& Name);
    // Null when no device of that name is registered.
    std::shared_ptr<MachineDeviceDriver> Find(const std::wstring& Name);
    void Clear();

    uint64_t FileIdNext();
    void FileCountChange(const std::wstring& Name, long Delta);
    long FileCount(const std::wstring& Name);

    static std::wstring NameKey(const std::wstring& Name);

private:
    DeviceNamespace() = default;

    std::mutex m_Mutex;
    std::map<std::wstring, std::shared_ptr<MachineDeviceDriver>> m_Devices;  // by NameKey
    std::map<std::wstring, long> m_FileCounts;                               // by NameKey
    std::atomic<uint64_t> m_NextFileId{1};
};
