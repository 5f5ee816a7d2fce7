#include "DeviceNamespace.h"

#include <cwctype>

DeviceNamespace& DeviceNamespace::Instance() {
    static DeviceNamespace s_Instance;
    return s_Instance;
}

std::wstring DeviceNamespace::NameKey(const std::wstring& Name) {
    std::wstring Key(Name);
    for (auto& Character : Key)
        Character = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(Character)));
    return Key;
}

bool DeviceNamespace::Register(const std::wstring& Name, std::shared_ptr<MachineDeviceDriver> pDriver) {
    if (Name.empty() || pDriver == nullptr)
        return false;
    std::lock_guard<std::mutex> Lock(m_Mutex);
    return m_Devices.emplace(NameKey(Name), std::move(pDriver)).second;
}

bool DeviceNamespace::Unregister(const std::wstring& Name) {
    std::shared_ptr<MachineDeviceDriver> pDriver;  // released outside the lock
    std::lock_guard<std::mutex> Lock(m_Mutex);
    auto Entry = m_Devices.find(NameKey(Name));
    if (Entry == m_Devices.end())
        return false;
    pDriver = std::move(Entry->second);
    m_Devices.erase(Entry);
    return true;
}

std::shared_ptr<MachineDeviceDriver> DeviceNamespace::Find(const std::wstring& Name) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    auto Entry = m_Devices.find(NameKey(Name));
    return Entry == m_Devices.end() ? nullptr : Entry->second;
}

void DeviceNamespace::Clear() {
    std::map<std::wstring, std::shared_ptr<MachineDeviceDriver>> Devices;
    {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        Devices.swap(m_Devices);
    }
}

uint64_t DeviceNamespace::FileIdNext() { return m_NextFileId.fetch_add(1); }

void DeviceNamespace::FileCountChange(const std::wstring& Name, long Delta) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_FileCounts[NameKey(Name)] += Delta;
}

long DeviceNamespace::FileCount(const std::wstring& Name) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    auto Entry = m_FileCounts.find(NameKey(Name));
    return Entry == m_FileCounts.end() ? 0 : Entry->second;
}
