#include "DeviceInterfaceTable.h"

#include <cwchar>

#include "DeviceTree.h"

namespace {

bool KeyEquals(const DEVPROPKEY& A, const DEVPROPKEY& B) { return A.fmtid == B.fmtid && A.pid == B.pid; }

std::wstring GuidText(const GUID& Guid) {
    wchar_t Text[40];
    std::swprintf(Text, 40, L"{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", Guid.Data1, Guid.Data2,
                  Guid.Data3, Guid.Data4[0], Guid.Data4[1], Guid.Data4[2], Guid.Data4[3], Guid.Data4[4],
                  Guid.Data4[5], Guid.Data4[6], Guid.Data4[7]);
    return Text;
}

// "\\?\ROOT#DISPLAY#0000#{guid}", as Windows names interface device paths.
std::wstring SymbolicLinkMake(const std::wstring& InstanceId, const GUID& ClassGuid) {
    std::wstring Link = L"\\\\?\\";
    for (wchar_t Character : InstanceId)
        Link += Character == L'\\' ? L'#' : Character;
    return Link + L"#" + GuidText(ClassGuid);
}

}  // namespace

DeviceInterfaceTable& DeviceInterfaceTable::Instance() {
    static DeviceInterfaceTable s_Instance;
    return s_Instance;
}

bool DeviceInterfaceTable::PrivatePresent(DEVINST DevInst) {
    DeviceNode Node;
    return DeviceTree::Instance().NodeGet(DevInst, Node) && Node.Registered;
}

std::wstring DeviceInterfaceTable::Add(const std::wstring& InstanceId, const GUID& ClassGuid) {
    DEVINST DevInst = 0;
    if (!DeviceTree::Instance().NodeFind(InstanceId, false, DevInst))
        return L"";
    DeviceNode Node;
    DeviceTree::Instance().NodeGet(DevInst, Node);
    const std::wstring Link = SymbolicLinkMake(Node.InstanceId, ClassGuid);
    std::lock_guard<std::mutex> Lock(m_Mutex);
    for (const auto& Entry : m_Interfaces)
        if (Entry.DevInst == DevInst && Entry.ClassGuid == ClassGuid)
            return Entry.SymbolicLink;
    m_Interfaces.push_back(DeviceInterfaceEntry{m_NextId++, DevInst, ClassGuid, Link});
    return Link;
}

bool DeviceInterfaceTable::Remove(const std::wstring& SymbolicLink) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    for (auto Entry = m_Interfaces.begin(); Entry != m_Interfaces.end(); ++Entry) {
        if (Entry->SymbolicLink == SymbolicLink) {
            m_Interfaces.erase(Entry);
            return true;
        }
    }
    return false;
}

std::vector<DeviceInterfaceEntry> DeviceInterfaceTable::List(const GUID* pClassGuid) const {
    std::vector<DeviceInterfaceEntry> Entries;
    {
        std::lock_guard<std::mutex> Lock(m_Mutex);
        for (const auto& Entry : m_Interfaces)
            if (pClassGuid == nullptr || Entry.ClassGuid == *pClassGuid)
                Entries.push_back(Entry);
    }
    std::erase_if(Entries, [](const DeviceInterfaceEntry& Entry) { return !PrivatePresent(Entry.DevInst); });
    return Entries;
}

bool DeviceInterfaceTable::Find(uint64_t Id, DeviceInterfaceEntry* pEntry) const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    for (const auto& Entry : m_Interfaces) {
        if (Entry.Id == Id) {
            *pEntry = Entry;
            return true;
        }
    }
    return false;
}

bool DeviceInterfaceTable::PropertySet(const std::wstring& InstanceId, const DEVPROPKEY& Key, DEVPROPTYPE Type,
                                       const std::vector<BYTE>& Value) {
    DEVINST DevInst = 0;
    if (!DeviceTree::Instance().NodeFind(InstanceId, false, DevInst))
        return false;
    std::lock_guard<std::mutex> Lock(m_Mutex);
    std::erase_if(m_Properties, [&](const PropertyEntry& Entry) {
        return Entry.DevInst == DevInst && KeyEquals(Entry.Key, Key);
    });
    m_Properties.push_back(PropertyEntry{DevInst, Key, Type, Value});
    return true;
}

bool DeviceInterfaceTable::PropertyGet(DEVINST DevInst, const DEVPROPKEY& Key, DEVPROPTYPE* pType,
                                       std::vector<BYTE>* pValue) const {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    for (const auto& Entry : m_Properties) {
        if (Entry.DevInst == DevInst && KeyEquals(Entry.Key, Key)) {
            *pType = Entry.Type;
            *pValue = Entry.Value;
            return true;
        }
    }
    return false;
}

void DeviceInterfaceTable::Clear() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    m_Interfaces.clear();
    m_Properties.clear();
}
