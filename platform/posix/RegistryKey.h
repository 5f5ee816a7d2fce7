// One key of the simulated registry: its name as created, its values in the
// order they were first set, its subkeys sorted by name (as the system
// enumerates them) and its security descriptor. Names compare without regard
// to case. The registry tree's lock guards every key.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "SecurityDescriptorImage.h"
#include "win32_base.h"

class RegistryKey {
public:
    struct Value {
        std::wstring Name;
        DWORD Type;
        std::vector<BYTE> Data;
    };

    RegistryKey(std::wstring Name, SecurityDescriptorImage Security);

    static bool NameEquals(std::wstring_view a, std::wstring_view b);
    static bool NameLess(std::wstring_view a, std::wstring_view b);

    const std::wstring& Name() const { return m_Name; }
    RegistryKey* Parent() const { return m_pParent; }

    std::shared_ptr<RegistryKey> SubkeyFind(std::wstring_view Name) const;
    void SubkeyAdd(const std::shared_ptr<RegistryKey>& pSubkey);
    // Detaches the subkey and marks it and everything below it deleted.
    void SubkeyDelete(const RegistryKey* pSubkey);
    const std::vector<std::shared_ptr<RegistryKey>>& Subkeys() const { return m_Subkeys; }

    const Value* ValueFind(std::wstring_view Name) const;
    void ValueSet(std::wstring_view Name, DWORD Type, std::vector<BYTE> Data);
    bool ValueDelete(std::wstring_view Name);
    void ValuesClear() { m_Values.clear(); }
    const std::vector<Value>& Values() const { return m_Values; }

    SecurityDescriptorImage& Security() { return m_Security; }
    const SecurityDescriptorImage& Security() const { return m_Security; }

    bool IsDeleted() const { return m_bDeleted; }
    void DeletedMark();

private:
    std::wstring m_Name;
    RegistryKey* m_pParent = nullptr;
    std::vector<std::shared_ptr<RegistryKey>> m_Subkeys;
    std::vector<Value> m_Values;
    SecurityDescriptorImage m_Security;
    bool m_bDeleted = false;
};
