#include "driver/ALDriverDeviceEnumerator.h"

#include <cstdlib>
#include <cstring>

#include "support/ALDebugLog.h"

namespace {

// DEVPKEY_Device_DevNodeStatus, defined here so that no build needs the SDK's
// property-key definitions instantiated.
const DEVPROPKEY kDevNodeStatusKey = {{0x4340A6C5, 0x93FA, 0x4706, {0x97, 0x2C, 0x7B, 0x64, 0x80, 0x08, 0xA5, 0xA7}}, 2};

constexpr uint32_t kDevNodeStarted = 0x00000008;  // DN_STARTED
constexpr ULONG kPropertyTypeUint32 = 0x00000007;  // DEVPROP_TYPE_UINT32

}  // namespace

ALDriverDeviceEnumerator::ALDriverDeviceEnumerator(const GUID& InterfaceClassGuid, uint32_t Flags)
    : m_InterfaceClassGuid(InterfaceClassGuid), m_hDevInfo(INVALID_HANDLE_VALUE) {
    std::memset(&m_DevInfoData, 0, sizeof(m_DevInfoData));
    m_hDevInfo = SetupDiGetClassDevsW(&m_InterfaceClassGuid, nullptr, nullptr, Flags);
    if (m_hDevInfo == INVALID_HANDLE_VALUE)
        ALDebugPrint(AL_DEBUG_ERROR, L"SetupDiGetClassDevs failed! Last error: %d\n", GetLastError());
}

ALDriverDeviceEnumerator::~ALDriverDeviceEnumerator() {
    if (m_hDevInfo != INVALID_HANDLE_VALUE)
        SetupDiDestroyDeviceInfoList(m_hDevInfo);
}

bool ALDriverDeviceEnumerator::Enumerate(uint32_t MemberIndex, bool& bIsRunning) {
    m_DevInfoData.cbSize = sizeof(m_DevInfoData);
    if (!SetupDiEnumDeviceInfo(m_hDevInfo, MemberIndex, &m_DevInfoData)) {
        const DWORD dwError = GetLastError();
        if (dwError == ERROR_NO_MORE_ITEMS)
            ALDebugPrint(AL_DEBUG_ERROR, L"ALDriverDeviceEnumerator::Enumerate no more items... %d\n", MemberIndex);
        else
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALDriverDeviceEnumerator::Enumerate SetupDiEnumDeviceInfo failed! %d Last error: %d\n",
                         MemberIndex, dwError);
        return false;
    }
    DEVPROPTYPE PropertyType = 0;
    uint32_t PropertyDataDevNodeStatus = 0;
    if (!SetupDiGetDevicePropertyW(m_hDevInfo, &m_DevInfoData, &kDevNodeStatusKey, &PropertyType,
                                   reinterpret_cast<PBYTE>(&PropertyDataDevNodeStatus),
                                   sizeof(PropertyDataDevNodeStatus), nullptr, 0)) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALDriverDeviceEnumerator::Enumerate SetupDiGetDeviceProperty (2) failed! %d Last error: %d\n",
                     MemberIndex, GetLastError());
        return false;
    }
    if (PropertyType != kPropertyTypeUint32) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALDriverDeviceEnumerator::Enumerate SetupDiEnumDeviceInfo failed! DEVPROP_TYPE_UINT32 != "
                     L"PropertyType (0x%x != 0x%x)\n",
                     kPropertyTypeUint32, PropertyType);
        return false;
    }
    bIsRunning = (PropertyDataDevNodeStatus & kDevNodeStarted) != 0;
    return true;
}

bool ALDriverDeviceEnumerator::SymbolicLinkNameGet(uint32_t MemberIndex, std::wstring& SymbolicLink) {
    SP_DEVICE_INTERFACE_DATA DeviceInterfaceData;
    std::memset(&DeviceInterfaceData, 0, sizeof(DeviceInterfaceData));
    DeviceInterfaceData.cbSize = sizeof(DeviceInterfaceData);
    if (!SetupDiEnumDeviceInterfaces(m_hDevInfo, nullptr, &m_InterfaceClassGuid, MemberIndex, &DeviceInterfaceData)) {
        const DWORD dwError = GetLastError();
        if (dwError != ERROR_NO_MORE_ITEMS)
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALDriverDeviceEnumerator::SymbolicLinkNameGet SetupDiEnumDeviceInterfaces failed! %d\n",
                         dwError);
        return false;
    }
    // Without a buffer the call only reports the size it needs.
    DWORD ReqLen = 0;
    SetupDiGetDeviceInterfaceDetailW(m_hDevInfo, &DeviceInterfaceData, nullptr, 0, &ReqLen, nullptr);
    // The buffer holds at least the fixed part, whatever size was reported.
    const size_t CountByteBuffer =
        ReqLen > sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) ? ReqLen : sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    auto* pTempBuffer = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(std::calloc(1, CountByteBuffer));
    if (pTempBuffer == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"ALDriverDeviceEnumerator::SymbolicLinkNameGet Memory allocation failed!\n");
        return false;
    }
    std::memset(&m_DevInfoData, 0, sizeof(m_DevInfoData));
    m_DevInfoData.cbSize = sizeof(m_DevInfoData);
    pTempBuffer->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    const BOOL bResult = SetupDiGetDeviceInterfaceDetailW(m_hDevInfo, &DeviceInterfaceData, pTempBuffer,
                                                          static_cast<DWORD>(CountByteBuffer), nullptr, &m_DevInfoData);
    if (bResult) {
        // The path ends with its terminator within the buffer.
        const size_t CountChars =
            (CountByteBuffer - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(WCHAR);
        size_t Length = 0;
        while (Length < CountChars && pTempBuffer->DevicePath[Length] != L'\0')
            ++Length;
        SymbolicLink.assign(pTempBuffer->DevicePath, Length);
    } else {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"ALDriverDeviceEnumerator::SymbolicLinkNameGet SetupDiGetDeviceInterfaceDetail failed! Error %d\n",
                     GetLastError());
    }
    std::free(pTempBuffer);
    return bResult != FALSE;
}
