// Device information sets of the simulated machine (SetupAPI): lists of
// device tree nodes with the class they were made for.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <set>

#include "DeviceInterfaceTable.h"
#include "DeviceTree.h"
#include "FileSystem.h"
#include "InfStore.h"
#include "platform/setupapi.h"

namespace {

struct DeviceInfoList {
    bool HasClass = false;
    GUID ClassGuid = {};
    std::vector<DEVINST> Elements;
};

std::mutex g_SetLock;
std::set<DeviceInfoList*> g_Sets;

bool PrivateSetValid(HDEVINFO hSet) {
    std::lock_guard<std::mutex> lock(g_SetLock);
    return g_Sets.count(static_cast<DeviceInfoList*>(hSet)) != 0;
}

HDEVINFO PrivateSetAdd(DeviceInfoList* pSet) {
    std::lock_guard<std::mutex> lock(g_SetLock);
    g_Sets.insert(pSet);
    return pSet;
}

void PrivateDevInfoDataFill(DEVINST devInst, PSP_DEVINFO_DATA pData) {
    DeviceNode node;
    DeviceTree::Instance().NodeGet(devInst, node);
    pData->ClassGuid = node.ClassGuid;
    pData->DevInst = devInst;
    pData->Reserved = 0;
}

// The element of the set that pData names; false with the last error set.
bool PrivateElementFind(HDEVINFO hSet, PSP_DEVINFO_DATA pData, DEVINST& devInst) {
    if (!PrivateSetValid(hSet)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (pData == nullptr || pData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(pData == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_USER_BUFFER);
        return false;
    }
    auto* pSet = static_cast<DeviceInfoList*>(hSet);
    std::lock_guard<std::mutex> lock(g_SetLock);
    if (std::find(pSet->Elements.begin(), pSet->Elements.end(), pData->DevInst) == pSet->Elements.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    devInst = pData->DevInst;
    return true;
}

bool PrivateIsListProperty(DWORD property) {
    return property == SPDRP_HARDWAREID || property == SPDRP_COMPATIBLEIDS || property == SPDRP_UPPERFILTERS ||
           property == SPDRP_LOWERFILTERS;
}

bool PrivateIsWritableProperty(DWORD property) {
    return PrivateIsListProperty(property) || property == SPDRP_DEVICEDESC || property == SPDRP_FRIENDLYNAME ||
           property == SPDRP_MFG || property == SPDRP_LOCATION_INFORMATION || property == SPDRP_SERVICE;
}

bool PrivateEnumeratorMatches(const std::wstring& instanceId, LPCWSTR pEnumerator) {
    if (pEnumerator == nullptr || pEnumerator[0] == L'\0')
        return true;
    std::wstring enumerator = pEnumerator;
    return instanceId.size() > enumerator.size() && instanceId[enumerator.size()] == L'\\' &&
           FileSystem::NameEquals(instanceId.substr(0, enumerator.size()), enumerator);
}

}  // namespace

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) {
    (void)hwndParent;
    auto* pSet = new DeviceInfoList;
    if (ClassGuid != nullptr) {
        pSet->HasClass = true;
        pSet->ClassGuid = *ClassGuid;
    }
    return PrivateSetAdd(pSet);
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    auto* pSet = static_cast<DeviceInfoList*>(DeviceInfoSet);
    {
        std::lock_guard<std::mutex> lock(g_SetLock);
        if (g_Sets.erase(pSet) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    // Elements never registered were devices of this set only.
    DeviceTree& tree = DeviceTree::Instance();
    for (DEVINST devInst : pSet->Elements) {
        DeviceNode node;
        if (tree.NodeGet(devInst, node) && !node.Registered)
            tree.NodeRemove(devInst);
    }
    delete pSet;
    return TRUE;
}

BOOL WINAPI SetupDiCreateDeviceInfoW(HDEVINFO DeviceInfoSet, LPCWSTR DeviceName, const GUID* ClassGuid,
                                     LPCWSTR DeviceDescription, HWND hwndParent, DWORD CreationFlags,
                                     PSP_DEVINFO_DATA DeviceInfoData) {
    (void)hwndParent;
    if (!PrivateSetValid(DeviceInfoSet)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* pSet = static_cast<DeviceInfoList*>(DeviceInfoSet);
    if (ClassGuid == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((CreationFlags & ~DWORD(DICD_GENERATE_ID | DICD_INHERIT_CLASSDRVS)) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return FALSE;
    }
    if (DeviceInfoData != nullptr && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (pSet->HasClass && !(pSet->ClassGuid == *ClassGuid)) {
        SetLastError(ERROR_CLASS_MISMATCH);
        return FALSE;
    }
    std::wstring name = DeviceName != nullptr ? DeviceName : L"";
    bool bGenerate = (CreationFlags & DICD_GENERATE_ID) != 0;
    size_t separators = static_cast<size_t>(std::count(name.begin(), name.end(), L'\\'));
    if (name.empty() || (bGenerate && separators != 0) || (!bGenerate && separators != 2)) {
        SetLastError(ERROR_INVALID_DEVINST_NAME);
        return FALSE;
    }
    DeviceTree& tree = DeviceTree::Instance();
    std::wstring instanceId = bGenerate ? tree.InstanceIdGenerate(name) : name;
    DEVINST devInst = 0;
    DWORD dwError = tree.NodeCreate(instanceId, *ClassGuid, devInst);
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        return FALSE;
    }
    if (DeviceDescription != nullptr) {
        const auto* pBytes = reinterpret_cast<const BYTE*>(DeviceDescription);
        tree.PropertySet(devInst, SPDRP_DEVICEDESC,
                         {REG_SZ, std::vector<BYTE>(pBytes, pBytes + (std::wcslen(DeviceDescription) + 1) * sizeof(WCHAR))});
    }
    {
        std::lock_guard<std::mutex> lock(g_SetLock);
        pSet->Elements.push_back(devInst);
    }
    if (DeviceInfoData != nullptr)
        PrivateDevInfoDataFill(devInst, DeviceInfoData);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, LPCWSTR Enumerator, HWND hwndParent, DWORD Flags) {
    (void)hwndParent;
    constexpr DWORD kSupportedFlags =
        DIGCF_DEFAULT | DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE;
    if ((Flags & ~kSupportedFlags) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    bool bAllClasses = (Flags & DIGCF_ALLCLASSES) != 0;
    if (ClassGuid == nullptr && !bAllClasses) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto* pSet = new DeviceInfoList;
    if ((Flags & DIGCF_DEVICEINTERFACE) != 0) {
        // The devices that expose an interface of the class (of any class
        // with DIGCF_ALLCLASSES); the set itself has no setup class.
        for (const auto& Entry : DeviceInterfaceTable::Instance().List(bAllClasses ? nullptr : ClassGuid)) {
            DeviceNode node;
            if (DeviceTree::Instance().NodeGet(Entry.DevInst, node) &&
                PrivateEnumeratorMatches(node.InstanceId, Enumerator) &&
                std::find(pSet->Elements.begin(), pSet->Elements.end(), Entry.DevInst) == pSet->Elements.end())
                pSet->Elements.push_back(Entry.DevInst);
        }
        SetLastError(ERROR_SUCCESS);
        return PrivateSetAdd(pSet);
    }
    if (!bAllClasses) {
        pSet->HasClass = true;
        pSet->ClassGuid = *ClassGuid;
    }
    // Every registered node is present: the simulated machine has no
    // devices that were unplugged.
    DeviceTree& tree = DeviceTree::Instance();
    for (DEVINST devInst : tree.NodesPresent()) {
        DeviceNode node;
        if (!tree.NodeGet(devInst, node))
            continue;
        if ((bAllClasses || node.ClassGuid == *ClassGuid) && PrivateEnumeratorMatches(node.InstanceId, Enumerator))
            pSet->Elements.push_back(devInst);
    }
    SetLastError(ERROR_SUCCESS);
    return PrivateSetAdd(pSet);
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData) {
    if (!PrivateSetValid(DeviceInfoSet)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (DeviceInfoData == nullptr || DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(DeviceInfoData == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    DEVINST devInst = 0;
    {
        std::lock_guard<std::mutex> lock(g_SetLock);
        auto* pSet = static_cast<DeviceInfoList*>(DeviceInfoSet);
        if (MemberIndex >= pSet->Elements.size()) {
            SetLastError(ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        devInst = pSet->Elements[MemberIndex];
    }
    PrivateDevInfoDataFill(devInst, DeviceInfoData);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInstanceIdW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        LPWSTR DeviceInstanceId, DWORD DeviceInstanceIdSize, PDWORD RequiredSize) {
    DEVINST devInst = 0;
    if (!PrivateElementFind(DeviceInfoSet, DeviceInfoData, devInst))
        return FALSE;
    DeviceNode node;
    if (!DeviceTree::Instance().NodeGet(devInst, node)) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    DWORD dwRequired = static_cast<DWORD>(node.InstanceId.size() + 1);
    if (RequiredSize != nullptr)
        *RequiredSize = dwRequired;
    if (DeviceInstanceId == nullptr || DeviceInstanceIdSize < dwRequired) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::wmemcpy(DeviceInstanceId, node.InstanceId.c_str(), dwRequired);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiSetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                              DWORD Property, const BYTE* PropertyBuffer, DWORD PropertyBufferSize) {
    DEVINST devInst = 0;
    if (!PrivateElementFind(DeviceInfoSet, DeviceInfoData, devInst))
        return FALSE;
    if (!PrivateIsWritableProperty(Property)) {
        SetLastError(ERROR_INVALID_REG_PROPERTY);
        return FALSE;
    }
    DeviceTree& tree = DeviceTree::Instance();
    DWORD dwError = ERROR_SUCCESS;
    if (PropertyBuffer == nullptr || PropertyBufferSize == 0) {
        dwError = PropertyBuffer == nullptr && PropertyBufferSize != 0 ? DWORD(ERROR_INVALID_PARAMETER)
                                                                        : tree.PropertyDelete(devInst, Property);
    } else if (PropertyBufferSize % sizeof(WCHAR) != 0) {
        // Strings of whole wide characters only.
        dwError = ERROR_INVALID_DATA;
    } else {
        DWORD dwType = PrivateIsListProperty(Property) ? REG_MULTI_SZ : REG_SZ;
        dwError = tree.PropertySet(devInst, Property,
                                   {dwType, std::vector<BYTE>(PropertyBuffer, PropertyBuffer + PropertyBufferSize)});
    }
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                              DWORD Property, PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize) {
    DEVINST devInst = 0;
    if (!PrivateElementFind(DeviceInfoSet, DeviceInfoData, devInst))
        return FALSE;
    DeviceNode node;
    if (!DeviceTree::Instance().NodeGet(devInst, node)) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    auto found = node.RegistryProperties.find(Property);
    if (found == node.RegistryProperties.end()) {
        SetLastError(PrivateIsWritableProperty(Property) ? ERROR_INVALID_DATA : ERROR_INVALID_REG_PROPERTY);
        return FALSE;
    }
    const DeviceProperty& value = found->second;
    DWORD dwSize = static_cast<DWORD>(value.Data.size());
    if (RequiredSize != nullptr)
        *RequiredSize = dwSize;
    if (PropertyRegDataType != nullptr)
        *PropertyRegDataType = value.Type;
    if (PropertyBuffer == nullptr || PropertyBufferSize < dwSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(PropertyBuffer, value.Data.data(), dwSize);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
    DEVINST devInst = 0;
    if (!PrivateElementFind(DeviceInfoSet, DeviceInfoData, devInst))
        return FALSE;
    DeviceTree& tree = DeviceTree::Instance();
    DeviceNode node;
    if (!tree.NodeGet(devInst, node)) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    DWORD dwError = ERROR_SUCCESS;
    switch (InstallFunction) {
    case DIF_REGISTERDEVICE:
        dwError = tree.NodeRegister(devInst);
        if (dwError == ERROR_SUCCESS)
            InfStore::DriversFind();
        break;
    case DIF_REMOVE:
        dwError = node.Registered ? tree.NodeRemove(devInst) : DWORD(ERROR_DEVINFO_NOT_REGISTERED);
        break;
    default:
        dwError = ERROR_CALL_NOT_IMPLEMENTED;
        break;
    }
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

bool DeviceInfoSetElementsGet(HDEVINFO hSet, std::vector<DEVINST>* pElements) {
    std::lock_guard<std::mutex> lock(g_SetLock);
    auto* pSet = static_cast<DeviceInfoList*>(hSet);
    if (g_Sets.count(pSet) == 0)
        return false;
    *pElements = pSet->Elements;
    return true;
}
