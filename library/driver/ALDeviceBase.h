// Owner of the one handle through which the library talks to a display
// driver's control device. Knows nothing of the drivers' requests; the two
// control classes derive from it and pass HandleGet() to DeviceIoControl.
#pragma once

#include <string>

#include "platform/win32.h"

class ALDeviceBase {
public:
    ALDeviceBase();
    virtual ~ALDeviceBase();
    ALDeviceBase(const ALDeviceBase&) = delete;
    ALDeviceBase& operator=(const ALDeviceBase&) = delete;

    // Opens the device (synchronous handle). False when already open (silent)
    // or when the open fails (logged; the status then holds the system text).
    virtual bool Create(const std::wstring& DevicePath);
    // Closes the device. False when it was not open or CloseHandle failed;
    // the object is closed afterwards in every case.
    bool Destroy();

    HANDLE HandleGet() const;
    bool IsOpen() const;
    std::wstring StatusGet() const;

private:
    void PrivateStatusFromError(DWORD dwError);

    HANDLE m_hDevice;
    std::wstring m_DeviceName;
    std::wstring m_StatusText;
};
