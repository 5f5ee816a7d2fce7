#include "RegistryKey.h"

#include <algorithm>
#include <cwctype>

namespace {

// The registry folds case with the system's upper-case table; towupper in
// the C locale covers ASCII, which is what the system's names use.
wchar_t NameFold(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }

}  // namespace

RegistryKey::RegistryKey(std::wstring Name, SecurityDescriptorImage Security)
    : m_Name(std::move(Name)), m_Security(std::move(Security)) {}

bool RegistryKey::NameEquals(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return NameFold(x) == NameFold(y); });
}

bool RegistryKey::NameLess(std::wstring_view a, std::wstring_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return NameFold(x) < NameFold(y); });
}

std::shared_ptr<RegistryKey> RegistryKey::SubkeyFind(std::wstring_view Name) const {
    for (const auto& pSubkey : m_Subkeys)
        if (NameEquals(pSubkey->m_Name, Name))
            return pSubkey;
    return nullptr;
}

void RegistryKey::SubkeyAdd(const std::shared_ptr<RegistryKey>& pSubkey) {
    pSubkey->m_pParent = this;
    auto At = std::lower_bound(m_Subkeys.begin(), m_Subkeys.end(), pSubkey,
                               [](const auto& a, const auto& b) { return NameLess(a->m_Name, b->m_Name); });
    m_Subkeys.insert(At, pSubkey);
}

void RegistryKey::SubkeyDelete(const RegistryKey* pSubkey) {
    auto At = std::find_if(m_Subkeys.begin(), m_Subkeys.end(),
                           [pSubkey](const auto& p) { return p.get() == pSubkey; });
    if (At == m_Subkeys.end())
        return;
    (*At)->DeletedMark();
    m_Subkeys.erase(At);
}

void RegistryKey::DeletedMark() {
    m_bDeleted = true;
    m_pParent = nullptr;
    for (const auto& pSubkey : m_Subkeys)
        pSubkey->DeletedMark();
    m_Subkeys.clear();
    m_Values.clear();
}

const RegistryKey::Value* RegistryKey::ValueFind(std::wstring_view Name) const {
    for (const Value& Entry : m_Values)
        if (NameEquals(Entry.Name, Name))
            return &Entry;
    return nullptr;
}

void RegistryKey::ValueSet(std::wstring_view Name, DWORD Type, std::vector<BYTE> Data) {
    for (Value& Entry : m_Values) {
        if (NameEquals(Entry.Name, Name)) {
            Entry.Type = Type;
            Entry.Data = std::move(Data);
            return;
        }
    }
    m_Values.push_back({std::wstring(Name), Type, std::move(Data)});
}

bool RegistryKey::ValueDelete(std::wstring_view Name) {
    return std::erase_if(m_Values, [Name](const Value& Entry) { return NameEquals(Entry.Name, Name); }) != 0;
}
