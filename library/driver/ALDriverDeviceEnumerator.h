// Walks the present devices that expose a device interface class and tells,
// device by device, whether it runs; can also return an interface's device
// path. Lives for one check: the device information set is a snapshot taken
// at construction and owned until destruction.
#pragma once

#include <cstdint>
#include <string>

#include "platform/setupapi.h"
#include "platform/win32.h"

class ALDriverDeviceEnumerator {
public:
    ALDriverDeviceEnumerator(const GUID& InterfaceClassGuid, uint32_t Flags);
    ~ALDriverDeviceEnumerator();
    ALDriverDeviceEnumerator(const ALDriverDeviceEnumerator&) = delete;
    ALDriverDeviceEnumerator& operator=(const ALDriverDeviceEnumerator&) = delete;

    // True when the device at MemberIndex was read; bIsRunning then tells
    // whether it is started. False at the end of the set and on any error.
    bool Enumerate(uint32_t MemberIndex, bool& bIsRunning);
    // True when the interface at MemberIndex was read and its device path
    // stored in SymbolicLink.
    bool SymbolicLinkNameGet(uint32_t MemberIndex, std::wstring& SymbolicLink);

private:
    GUID m_InterfaceClassGuid;
    HDEVINFO m_hDevInfo;
    SP_DEVINFO_DATA m_DevInfoData;
};
