#include "DeviceFileObject.h"

#include "DeviceNamespace.h"

DeviceFileObject::DeviceFileObject(std::wstring DeviceName, std::shared_ptr<MachineDeviceDriver> pDriver,
                                   uint64_t FileId, bool bReadAccess, bool bWriteAccess)
    : m_DeviceName(std::move(DeviceName)),
      m_pDriver(std::move(pDriver)),
      m_FileId(FileId),
      m_bReadAccess(bReadAccess),
      m_bWriteAccess(bWriteAccess) {
    DeviceNamespace::Instance().FileCountChange(m_DeviceName, +1);
}

DeviceFileObject::~DeviceFileObject() {
    m_pDriver->DeviceFileClose(m_FileId);
    DeviceNamespace::Instance().FileCountChange(m_DeviceName, -1);
}
