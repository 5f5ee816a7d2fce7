// An open file of a named device: what CreateFileW("\\.\Name") returns a
// handle to. It keeps its driver, so a device unregistered while open still
// serves its files. The driver hears of the close when the last reference
// goes: every handle closed and no request of the file running.
#pragma once

#include <memory>
#include <string>

#include "KernelObject.h"
#include "machine_device.h"

class DeviceFileObject : public KernelObject {
public:
    DeviceFileObject(std::wstring DeviceName, std::shared_ptr<MachineDeviceDriver> pDriver, uint64_t FileId,
                     bool bReadAccess, bool bWriteAccess);
    ~DeviceFileObject() override;

    const char* KindName() const override { return "DeviceFile"; }

    const std::wstring& DeviceNameGet() const { return m_DeviceName; }
    uint64_t FileIdGet() const { return m_FileId; }
    MachineDeviceDriver& DriverGet() const { return *m_pDriver; }
    bool ReadAccessIs() const { return m_bReadAccess; }
    bool WriteAccessIs() const { return m_bWriteAccess; }

private:
    const std::wstring m_DeviceName;
    const std::shared_ptr<MachineDeviceDriver> m_pDriver;
    const uint64_t m_FileId;
    const bool m_bReadAccess;
    const bool m_bWriteAccess;
};
