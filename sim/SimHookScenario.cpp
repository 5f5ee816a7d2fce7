#include "SimHookScenario.h"

#include "SimHookDriver.h"
#include "driver/ALIoctlCode.h"
#include "platform/win32.h"

bool SimHookScenario::MonitorLeftPlugged(uint32_t AdapterIndex, uint32_t MonitorIndex, uint32_t Width,
                                         uint32_t Height) {
    const std::wstring Path = std::wstring(L"\\\\.\\") + SimHookDriver::DeviceName;
    HANDLE hDevice = CreateFileW(Path.c_str(), GENERIC_ALL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 0, nullptr);
    if (hDevice == INVALID_HANDLE_VALUE)
        return false;
    // The monitor description of one mode, indexes in front.
    uint32_t Description[9] = {AdapterIndex, MonitorIndex, 0, 0, 1, Width, Height, 0, 60};
    uint32_t Persist = 1;
    DWORD BytesReturned = 0;
    const bool bPlugged = DeviceIoControl(hDevice, ALIoctlCode::MonitorPlug, nullptr, 0, Description,
                                          sizeof(Description), &BytesReturned, nullptr) != FALSE;
    const bool bPersist = DeviceIoControl(hDevice, ALIoctlCode::MonitorPersistOnClose, &Persist, sizeof(Persist),
                                          nullptr, 0, &BytesReturned, nullptr) != FALSE;
    CloseHandle(hDevice);
    return bPlugged && bPersist;
}
