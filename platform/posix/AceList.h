// An editable list of ACEs (type, flags, mask, SID) that converts from and to
// the binary ACL layout. SetEntriesInAclW and registry key inheritance build
// their ACLs with it.
#pragma once

#include <vector>

#include "win32_security.h"

class AceList {
public:
    struct Entry {
        BYTE Type;
        BYTE Flags;
        ACCESS_MASK Mask;
        std::vector<BYTE> Sid;
    };

    // False when the ACL is malformed or holds an ACE of another type.
    bool Read(const ACL* pAcl);
    // The ACL bytes (revision 2, exactly as large as its ACEs need).
    std::vector<BYTE> Bytes() const;

    void Append(Entry Ace) { m_Entries.push_back(std::move(Ace)); }
    std::vector<Entry>& Entries() { return m_Entries; }
    const std::vector<Entry>& Entries() const { return m_Entries; }

    // ACEs that a new child container receives from a parent with this list,
    // marked as inherited; empty when nothing is inheritable.
    AceList ContainerInheritance() const;

private:
    std::vector<Entry> m_Entries;
};
