// CreateFileW and DeviceIoControl on the device namespace, and the machine
// API of devices and shared resources.
#include <algorithm>
#include <cstring>
#include <vector>

#include "DeviceFileObject.h"
#include "DeviceInterfaceTable.h"
#include "DeviceNamespace.h"
#include "DeviceNotificationRegistry.h"
#include "DeviceSharedResourceObject.h"
#include "HandleTable.h"
#include "platform/machine.h"
#include "platform/win32.h"

namespace {

constexpr wchar_t kDevicePrefix[] = L"\\\\.\\";
constexpr size_t kDevicePrefixLength = 4;

bool ReadAccessGranted(DWORD dwDesiredAccess) {
    return (dwDesiredAccess & (GENERIC_ALL | GENERIC_READ | FILE_READ_DATA)) != 0;
}

bool WriteAccessGranted(DWORD dwDesiredAccess) {
    return (dwDesiredAccess & (GENERIC_ALL | GENERIC_WRITE | FILE_WRITE_DATA)) != 0;
}

// The access bits of the code (FILE_READ_ACCESS, FILE_WRITE_ACCESS) that the
// file must have been opened with.
bool ControlAccessAllowed(const DeviceFileObject& File, DWORD dwIoControlCode) {
    const DWORD dwRequired = (dwIoControlCode >> 14) & 3;
    if ((dwRequired & FILE_READ_ACCESS) && !File.ReadAccessIs())
        return false;
    if ((dwRequired & FILE_WRITE_ACCESS) && !File.WriteAccessIs())
        return false;
    return true;
}

// Runs one request with the buffers its transfer method gives the driver.
DWORD ControlDispatch(DeviceFileObject& File, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                      LPVOID lpOutBuffer, DWORD nOutBufferSize, DWORD* pBytesReturned) {
    auto& Driver = File.DriverGet();
    const uint64_t FileId = File.FileIdGet();
    switch (METHOD_FROM_CTL_CODE(dwIoControlCode)) {
    case METHOD_BUFFERED: {
        // One system buffer for both directions; the byte count says how
        // much of it goes back to the caller.
        std::vector<uint8_t> System(std::max(nInBufferSize, nOutBufferSize));
        if (nInBufferSize > 0)
            std::memcpy(System.data(), lpInBuffer, nInBufferSize);
        const DWORD dwError = Driver.DeviceFileControl(FileId, dwIoControlCode, System.empty() ? nullptr : System.data(),
                                                       nInBufferSize, System.empty() ? nullptr : System.data(),
                                                       nOutBufferSize, pBytesReturned);
        *pBytesReturned = std::min(*pBytesReturned, nOutBufferSize);
        if (*pBytesReturned > 0)
            std::memcpy(lpOutBuffer, System.data(), *pBytesReturned);
        return dwError;
    }
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT: {
        // The input is copied; the driver works in the caller's output buffer.
        std::vector<uint8_t> Input(static_cast<const uint8_t*>(lpInBuffer),
                                   static_cast<const uint8_t*>(lpInBuffer) + (lpInBuffer ? nInBufferSize : 0));
        const DWORD dwError =
            Driver.DeviceFileControl(FileId, dwIoControlCode, Input.empty() ? nullptr : Input.data(), nInBufferSize,
                                     nOutBufferSize > 0 ? lpOutBuffer : nullptr, nOutBufferSize, pBytesReturned);
        *pBytesReturned = std::min(*pBytesReturned, nOutBufferSize);
        return dwError;
    }
    default:
        return Driver.DeviceFileControl(FileId, dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer,
                                        nOutBufferSize, pBytesReturned);
    }
}

}  // namespace

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)dwShareMode;
    (void)lpSecurityAttributes;
    (void)dwCreationDisposition;
    (void)dwFlagsAndAttributes;
    (void)hTemplateFile;
    if (lpFileName == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::wstring Path(lpFileName);
    if (Path.compare(0, kDevicePrefixLength, kDevicePrefix) != 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::wstring Name = Path.substr(kDevicePrefixLength);
    auto pDriver = DeviceNamespace::Instance().Find(Name);
    if (pDriver == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const uint64_t FileId = DeviceNamespace::Instance().FileIdNext();
    const DWORD dwError = pDriver->DeviceFileOpen(FileId);
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        return INVALID_HANDLE_VALUE;
    }
    auto pFile = std::make_shared<DeviceFileObject>(Name, std::move(pDriver), FileId,
                                                    ReadAccessGranted(dwDesiredAccess),
                                                    WriteAccessGranted(dwDesiredAccess));
    return HandleTable::Instance().Insert(std::move(pFile));
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                            LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                            LPOVERLAPPED lpOverlapped) {
    (void)lpOverlapped;
    // The reference keeps the file (and its driver) alive for the request,
    // even if another thread closes the handle meanwhile.
    auto pFile = HandleTable::Instance().Lookup<DeviceFileObject>(hDevice);
    if (pFile == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((nInBufferSize > 0 && lpInBuffer == nullptr) || (nOutBufferSize > 0 && lpOutBuffer == nullptr)) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (!ControlAccessAllowed(*pFile, dwIoControlCode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD BytesReturned = 0;
    const DWORD dwError = ControlDispatch(*pFile, dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer,
                                          nOutBufferSize, &BytesReturned);
    if (lpBytesReturned != nullptr)
        *lpBytesReturned = BytesReturned;
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        return FALSE;
    }
    return TRUE;
}

bool MachineDeviceRegister(const std::wstring& Name, std::shared_ptr<MachineDeviceDriver> pDriver) {
    return DeviceNamespace::Instance().Register(Name, std::move(pDriver));
}

bool MachineDeviceUnregister(const std::wstring& Name) { return DeviceNamespace::Instance().Unregister(Name); }

bool MachineDeviceIsRegistered(const std::wstring& Name) { return DeviceNamespace::Instance().Find(Name) != nullptr; }

long MachineDeviceFileCount(const std::wstring& Name) { return DeviceNamespace::Instance().FileCount(Name); }

uint64_t MachineDeviceFileIdGet(HANDLE hDevice) {
    auto pFile = HandleTable::Instance().Lookup<DeviceFileObject>(hDevice);
    return pFile == nullptr ? 0 : pFile->FileIdGet();
}

void MachineDeviceReset() {
    DeviceNotificationRegistry::Instance().Clear();
    DeviceNamespace::Instance().Clear();
    DeviceInterfaceTable::Instance().Clear();
}

HANDLE MachineSharedResourceHandleCreate(std::shared_ptr<MachineSharedResource> pResource) {
    if (pResource == nullptr)
        return nullptr;
    return HandleTable::Instance().Insert(std::make_shared<DeviceSharedResourceObject>(std::move(pResource)));
}

std::shared_ptr<MachineSharedResource> MachineSharedResourceFromHandle(HANDLE hResource) {
    auto pObject = HandleTable::Instance().Lookup<DeviceSharedResourceObject>(hResource);
    return pObject == nullptr ? nullptr : pObject->ResourceGet();
}
