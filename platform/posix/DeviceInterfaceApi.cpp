// SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailW and
// SetupDiGetDevicePropertyW over the simulated device tree, and the machine
// API of device interfaces and unified properties.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "DeviceInterfaceTable.h"
#include "DeviceTree.h"
#include "platform/machine.h"
#include "platform/setupapi.h"

namespace {

const DEVPROPKEY kDevNodeStatusKey = {{0x4340A6C5, 0x93FA, 0x4706, {0x97, 0x2C, 0x7B, 0x64, 0x80, 0x08, 0xA5, 0xA7}}, 2};

BOOL Fail(DWORD dwError) {
    SetLastError(dwError);
    return FALSE;
}

BOOL Succeed() {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

bool Contains(const std::vector<DEVINST>& Elements, DEVINST DevInst) {
    return std::find(Elements.begin(), Elements.end(), DevInst) != Elements.end();
}

void DevInfoDataFill(DEVINST DevInst, PSP_DEVINFO_DATA pData) {
    DeviceNode Node;
    DeviceTree::Instance().NodeGet(DevInst, Node);
    pData->ClassGuid = Node.ClassGuid;
    pData->DevInst = DevInst;
    pData->Reserved = 0;
}

}  // namespace

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    std::vector<DEVINST> Elements;
    if (!DeviceInfoSetElementsGet(DeviceInfoSet, &Elements))
        return Fail(ERROR_INVALID_HANDLE);
    if (InterfaceClassGuid == nullptr || DeviceInterfaceData == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (DeviceInfoData != nullptr) {
        if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
            return Fail(ERROR_INVALID_USER_BUFFER);
        if (!Contains(Elements, DeviceInfoData->DevInst))
            return Fail(ERROR_INVALID_PARAMETER);
        Elements.assign(1, DeviceInfoData->DevInst);
    }
    std::vector<DeviceInterfaceEntry> Interfaces;
    // In the order of the set's devices, each device's interfaces oldest first.
    const auto All = DeviceInterfaceTable::Instance().List(InterfaceClassGuid);
    for (DEVINST DevInst : Elements)
        for (const auto& Entry : All)
            if (Entry.DevInst == DevInst)
                Interfaces.push_back(Entry);
    if (MemberIndex >= Interfaces.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    const auto& Entry = Interfaces[MemberIndex];
    DeviceInterfaceData->InterfaceClassGuid = Entry.ClassGuid;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = static_cast<ULONG_PTR>(Entry.Id);
    return Succeed();
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                             DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
    std::vector<DEVINST> Elements;
    if (!DeviceInfoSetElementsGet(DeviceInfoSet, &Elements))
        return Fail(ERROR_INVALID_HANDLE);
    if (DeviceInterfaceData == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    DeviceInterfaceEntry Entry;
    if (!DeviceInterfaceTable::Instance().Find(DeviceInterfaceData->Reserved, &Entry) ||
        !Contains(Elements, Entry.DevInst))
        return Fail(ERROR_INVALID_PARAMETER);
    if (DeviceInterfaceDetailData == nullptr && DeviceInterfaceDetailDataSize != 0)
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (DeviceInterfaceDetailData != nullptr &&
        DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (DeviceInfoData != nullptr && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    const DWORD dwRequired = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                                (Entry.SymbolicLink.size() + 1) * sizeof(WCHAR));
    if (RequiredSize != nullptr)
        *RequiredSize = dwRequired;
    if (DeviceInfoData != nullptr)
        DevInfoDataFill(Entry.DevInst, DeviceInfoData);
    if (DeviceInterfaceDetailData == nullptr || DeviceInterfaceDetailDataSize < dwRequired)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(DeviceInterfaceDetailData->DevicePath, Entry.SymbolicLink.c_str(),
                (Entry.SymbolicLink.size() + 1) * sizeof(WCHAR));
    return Succeed();
}

BOOL WINAPI SetupDiGetDevicePropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                      const DEVPROPKEY* PropertyKey, DEVPROPTYPE* PropertyType, PBYTE PropertyBuffer,
                                      DWORD PropertyBufferSize, PDWORD RequiredSize, DWORD Flags) {
    std::vector<DEVINST> Elements;
    if (!DeviceInfoSetElementsGet(DeviceInfoSet, &Elements))
        return Fail(ERROR_INVALID_HANDLE);
    if (DeviceInfoData == nullptr || PropertyKey == nullptr || PropertyType == nullptr ||
        (PropertyBuffer == nullptr && PropertyBufferSize != 0))
        return Fail(ERROR_INVALID_PARAMETER);
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (Flags != 0)
        return Fail(ERROR_INVALID_FLAGS);
    if (!Contains(Elements, DeviceInfoData->DevInst))
        return Fail(ERROR_INVALID_PARAMETER);
    DEVPROPTYPE Type = DEVPROP_TYPE_EMPTY;
    std::vector<BYTE> Value;
    if (!DeviceInterfaceTable::Instance().PropertyGet(DeviceInfoData->DevInst, *PropertyKey, &Type, &Value)) {
        DeviceNode Node;
        if (!DeviceTree::Instance().NodeGet(DeviceInfoData->DevInst, Node))
            return Fail(ERROR_NO_SUCH_DEVINST);
        if (!(PropertyKey->fmtid == kDevNodeStatusKey.fmtid && PropertyKey->pid == kDevNodeStatusKey.pid))
            return Fail(ERROR_NOT_FOUND);
        Type = DEVPROP_TYPE_UINT32;
        Value.resize(sizeof(DWORD));
        std::memcpy(Value.data(), &Node.Status, sizeof(DWORD));
    }
    *PropertyType = Type;
    if (RequiredSize != nullptr)
        *RequiredSize = static_cast<DWORD>(Value.size());
    if (PropertyBufferSize < Value.size())
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (!Value.empty())
        std::memcpy(PropertyBuffer, Value.data(), Value.size());
    return Succeed();
}

std::wstring MachineDeviceInterfaceAdd(const std::wstring& InstanceId, const GUID& ClassGuid) {
    return DeviceInterfaceTable::Instance().Add(InstanceId, ClassGuid);
}

bool MachineDeviceInterfaceRemove(const std::wstring& SymbolicLink) {
    return DeviceInterfaceTable::Instance().Remove(SymbolicLink);
}

bool MachineDevicePropertySet(const std::wstring& InstanceId, const DEVPROPKEY& Key, DEVPROPTYPE Type,
                              const std::vector<BYTE>& Value) {
    return DeviceInterfaceTable::Instance().PropertySet(InstanceId, Key, Type, Value);
}
