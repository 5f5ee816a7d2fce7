// Machine API, device part: the driver behind a named device of the
// simulated device namespace (see machine_device.h).
#pragma once

#include <cstdint>

#include "win32_base.h"

// The driver behind a named device. Every call comes on the caller's thread;
// requests of several threads may run at the same time, also on one file.
class MachineDeviceDriver {
public:
    virtual ~MachineDeviceDriver() = default;

    // CreateFileW on the device opened a new file; a non-zero Win32 error
    // refuses the open (CreateFileW then fails with it).
    virtual DWORD DeviceFileOpen(uint64_t FileId) {
        (void)FileId;
        return ERROR_SUCCESS;
    }
    // One DeviceIoControl on a file of the device. The buffers are those the
    // transfer method of the code gives the driver (METHOD_*_DIRECT: the input
    // copied, the caller's output buffer itself). Returns ERROR_SUCCESS or the
    // Win32 error of the request; *pBytesReturned is the byte count the
    // caller receives (also on failure).
    virtual DWORD DeviceFileControl(uint64_t FileId, DWORD IoControlCode, const void* pInput,
                                    DWORD CountByteInput, void* pOutput, DWORD CountByteOutput,
                                    DWORD* pBytesReturned) = 0;
    // The file's last handle was closed and none of its requests is running.
    virtual void DeviceFileClose(uint64_t FileId) { (void)FileId; }
};
