#include "HandleTable.h"

#include "ProcessObject.h"
#include "ThreadObject.h"

HandleTable& HandleTable::Instance() {
    static HandleTable* s_pTable = new HandleTable;  // used until process exit
    return *s_pTable;
}

HandleTable::Value HandleTable::Insert(std::shared_ptr<KernelObject> pObject) {
    std::lock_guard Lock(m_Mutex);
    const uintptr_t HandleValue = m_NextValue;
    m_NextValue += 4;
    m_Entries.emplace(HandleValue, std::move(pObject));
    return reinterpret_cast<Value>(HandleValue);
}

std::shared_ptr<KernelObject> HandleTable::LookupObject(Value hHandle) {
    const uintptr_t HandleValue = reinterpret_cast<uintptr_t>(hHandle);
    if (HandleValue == kPseudoProcess)
        return ProcessObject::Current();
    if (HandleValue == kPseudoThread)
        return ThreadObject::Current();
    std::lock_guard Lock(m_Mutex);
    const auto Entry = m_Entries.find(HandleValue);
    return Entry == m_Entries.end() ? nullptr : Entry->second;
}

HandleTable::RemoveResult HandleTable::Remove(Value hHandle) {
    const uintptr_t HandleValue = reinterpret_cast<uintptr_t>(hHandle);
    if (HandleValue == kPseudoProcess || HandleValue == kPseudoThread)
        return RemoveResult::Pseudo;
    std::shared_ptr<KernelObject> pObject;  // released after the lock
    {
        std::lock_guard Lock(m_Mutex);
        const auto Entry = m_Entries.find(HandleValue);
        if (Entry == m_Entries.end())
            return RemoveResult::Invalid;
        pObject = std::move(Entry->second);
        m_Entries.erase(Entry);
    }
    return RemoveResult::Removed;
}

long HandleTable::LiveCount() {
    std::lock_guard Lock(m_Mutex);
    return static_cast<long>(m_Entries.size());
}

long HandleTable::LiveCountOfKind(const std::string& Kind) {
    std::lock_guard Lock(m_Mutex);
    long Count = 0;
    for (const auto& Entry : m_Entries)
        if (Kind == Entry.second->KindName())
            ++Count;
    return Count;
}

void HandleTable::Clear() {
    std::map<uintptr_t, std::shared_ptr<KernelObject>> Entries;  // released after the lock
    std::lock_guard Lock(m_Mutex);
    Entries.swap(m_Entries);
}
