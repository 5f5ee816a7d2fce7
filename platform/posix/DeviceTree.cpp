#include "DeviceTree.h"

#include <cwchar>
#include <cwctype>

#include "FileSystem.h"

namespace {

std::vector<std::wstring> PrivateMultiStrings(const DeviceProperty& value) {
    std::vector<std::wstring> strings;
    size_t count = value.Data.size() / sizeof(WCHAR);
    const auto* pChars = reinterpret_cast<const WCHAR*>(value.Data.data());
    std::wstring current;
    for (size_t i = 0; i < count; ++i) {
        if (pChars[i] != L'\0') {
            current += pChars[i];
            continue;
        }
        if (current.empty())
            break;
        strings.push_back(current);
        current.clear();
    }
    if (!current.empty())
        strings.push_back(current);
    return strings;
}

}  // namespace

DeviceTree& DeviceTree::Instance() {
    static DeviceTree tree;
    return tree;
}

std::wstring DeviceTree::InstanceIdGenerate(const std::wstring& deviceName) const {
    std::wstring prefix = L"ROOT\\";
    for (wchar_t c : deviceName)
        prefix += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    prefix += L"\\";
    std::lock_guard<std::mutex> lock(m_Lock);
    for (unsigned number = 0;; ++number) {
        wchar_t suffix[16];
        std::swprintf(suffix, 16, L"%04u", number);
        std::wstring candidate = prefix + suffix;
        bool bTaken = false;
        for (const auto& [devInst, node] : m_Nodes)
            bTaken = bTaken || FileSystem::NameEquals(node.InstanceId, candidate);
        if (!bTaken)
            return candidate;
    }
}

DWORD DeviceTree::NodeCreate(const std::wstring& instanceId, const GUID& classGuid, DEVINST& devInst) {
    std::lock_guard<std::mutex> lock(m_Lock);
    for (const auto& [existing, node] : m_Nodes)
        if (FileSystem::NameEquals(node.InstanceId, instanceId))
            return ERROR_DEVINST_ALREADY_EXISTS;
    DeviceNode node;
    node.DevInst = m_NextDevInst++;
    node.InstanceId = instanceId;
    node.ClassGuid = classGuid;
    devInst = node.DevInst;
    m_Nodes.emplace(devInst, node);
    return ERROR_SUCCESS;
}

DWORD DeviceTree::NodeRegister(DEVINST devInst) {
    std::lock_guard<std::mutex> lock(m_Lock);
    auto it = m_Nodes.find(devInst);
    if (it == m_Nodes.end())
        return ERROR_NO_SUCH_DEVINST;
    if (!it->second.Registered) {
        it->second.Registered = true;
        it->second.Status = DN_ROOT_ENUMERATED | DN_HAS_PROBLEM;
        it->second.Problem = CM_PROB_FAILED_INSTALL;
    }
    return ERROR_SUCCESS;
}

DWORD DeviceTree::NodeRemove(DEVINST devInst) {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Nodes.erase(devInst) != 0 ? ERROR_SUCCESS : DWORD(ERROR_NO_SUCH_DEVINST);
}

bool DeviceTree::NodeGet(DEVINST devInst, DeviceNode& node) const {
    std::lock_guard<std::mutex> lock(m_Lock);
    auto it = m_Nodes.find(devInst);
    if (it == m_Nodes.end())
        return false;
    node = it->second;
    return true;
}

bool DeviceTree::NodeFind(const std::wstring& instanceId, bool bIncludeUnregistered, DEVINST& devInst) const {
    std::lock_guard<std::mutex> lock(m_Lock);
    for (const auto& [existing, node] : m_Nodes) {
        if ((node.Registered || bIncludeUnregistered) && FileSystem::NameEquals(node.InstanceId, instanceId)) {
            devInst = existing;
            return true;
        }
    }
    return false;
}

std::vector<DEVINST> DeviceTree::NodesPresent() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    std::vector<DEVINST> present;
    for (const auto& [devInst, node] : m_Nodes)
        if (node.Registered)
            present.push_back(devInst);
    return present;
}

DWORD DeviceTree::PropertySet(DEVINST devInst, DWORD property, const DeviceProperty& value) {
    std::lock_guard<std::mutex> lock(m_Lock);
    auto it = m_Nodes.find(devInst);
    if (it == m_Nodes.end())
        return ERROR_NO_SUCH_DEVINST;
    it->second.RegistryProperties[property] = value;
    return ERROR_SUCCESS;
}

DWORD DeviceTree::PropertyDelete(DEVINST devInst, DWORD property) {
    std::lock_guard<std::mutex> lock(m_Lock);
    auto it = m_Nodes.find(devInst);
    if (it == m_Nodes.end())
        return ERROR_NO_SUCH_DEVINST;
    it->second.RegistryProperties.erase(property);
    return ERROR_SUCCESS;
}

void DeviceTree::DriverSet(DEVINST devInst, const std::wstring& infName) {
    std::lock_guard<std::mutex> lock(m_Lock);
    auto it = m_Nodes.find(devInst);
    if (it == m_Nodes.end())
        return;
    DeviceNode& node = it->second;
    node.DriverInfName = infName;
    if (infName.empty()) {
        node.Status = DN_ROOT_ENUMERATED | DN_HAS_PROBLEM;
        node.Problem = CM_PROB_FAILED_INSTALL;
    } else {
        node.Status = DN_ROOT_ENUMERATED | DN_DRIVER_LOADED | DN_STARTED;
        node.Problem = 0;
    }
}

std::vector<DEVINST> DeviceTree::NodesUsingInf(const std::wstring& infName) const {
    std::lock_guard<std::mutex> lock(m_Lock);
    std::vector<DEVINST> users;
    for (const auto& [devInst, node] : m_Nodes)
        if (node.Registered && !node.DriverInfName.empty() && FileSystem::NameEquals(node.DriverInfName, infName))
            users.push_back(devInst);
    return users;
}

std::vector<std::wstring> DeviceTree::DeviceIds(DEVINST devInst) const {
    std::lock_guard<std::mutex> lock(m_Lock);
    std::vector<std::wstring> ids;
    auto it = m_Nodes.find(devInst);
    if (it == m_Nodes.end())
        return ids;
    for (DWORD property : {DWORD(SPDRP_HARDWAREID), DWORD(SPDRP_COMPATIBLEIDS)}) {
        auto found = it->second.RegistryProperties.find(property);
        if (found == it->second.RegistryProperties.end())
            continue;
        for (const std::wstring& id : PrivateMultiStrings(found->second))
            ids.push_back(id);
    }
    return ids;
}

void DeviceTree::ReenumerationCount() {
    std::lock_guard<std::mutex> lock(m_Lock);
    ++m_Reenumerations;
}

unsigned DeviceTree::Reenumerations() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Reenumerations;
}

std::vector<DeviceNode> DeviceTree::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    std::vector<DeviceNode> nodes;
    for (const auto& [devInst, node] : m_Nodes)
        nodes.push_back(node);
    return nodes;
}

void DeviceTree::Reset() {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Nodes.clear();
    m_Reenumerations = 0;
}
