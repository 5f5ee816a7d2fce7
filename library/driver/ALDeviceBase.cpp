#include "driver/ALDeviceBase.h"

#include "support/ALDebugLog.h"

ALDeviceBase::ALDeviceBase() : m_hDevice(INVALID_HANDLE_VALUE) {}

ALDeviceBase::~ALDeviceBase() {
    if (IsOpen()) {
        CloseHandle(m_hDevice);
        m_hDevice = INVALID_HANDLE_VALUE;
    }
}

bool ALDeviceBase::Create(const std::wstring& DevicePath) {
    if (IsOpen())
        return false;
    // No FILE_FLAG_OVERLAPPED: every request on the handle is synchronous.
    m_hDevice = CreateFileW(DevicePath.c_str(), GENERIC_ALL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hDevice != INVALID_HANDLE_VALUE) {
        m_DeviceName = DevicePath;
        m_StatusText = L"Open.";
        return true;
    }
    const DWORD dwError = GetLastError();
    ALDebugPrint(AL_DEBUG_ERROR, L"ALDeviceBase::Create CreateFile failed! %s GetLastErrorReturned: %d\n",
                 DevicePath.c_str(), dwError);
    PrivateStatusFromError(dwError);
    return false;
}

bool ALDeviceBase::Destroy() {
    if (!IsOpen()) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALDeviceBase::Destroy error already closed!\n");
        return false;
    }
    const BOOL bClosed = CloseHandle(m_hDevice);
    const DWORD dwError = GetLastError();
    m_hDevice = INVALID_HANDLE_VALUE;
    m_StatusText = L"Closed.";
    if (!bClosed) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALDeviceBase::Destroy CloseHandle failed! GetLastErrorReturned: %d\n",
                     dwError);
        return false;
    }
    return true;
}

HANDLE ALDeviceBase::HandleGet() const { return m_hDevice; }

bool ALDeviceBase::IsOpen() const { return m_hDevice != INVALID_HANDLE_VALUE; }

std::wstring ALDeviceBase::StatusGet() const { return m_StatusText; }

void ALDeviceBase::PrivateStatusFromError(DWORD dwError) {
    LPWSTR pMessage = nullptr;
    const DWORD dwLength = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, dwError, 0, reinterpret_cast<LPWSTR>(&pMessage), 0, nullptr);
    if (dwLength > 0 && pMessage != nullptr)
        m_StatusText.assign(pMessage, dwLength);
    else
        m_StatusText = L"Open error!";
    if (pMessage != nullptr)
        LocalFree(pMessage);
}
