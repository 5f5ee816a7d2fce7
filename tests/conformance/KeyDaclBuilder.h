// Builds a key security descriptor the way the library does: Everyone with
// KEY_ALL_ACCESS inherited by subkeys and values, then Administrators with
// KEY_ALL_ACCESS and no inheritance, through SetEntriesInAclW.
#pragma once

#include "AceRecord.h"
#include "platform/win32.h"

class KeyDaclBuilder {
public:
    KeyDaclBuilder() {
        SID_IDENTIFIER_AUTHORITY WorldAuthority = SECURITY_WORLD_SID_AUTHORITY;
        SID_IDENTIFIER_AUTHORITY NtAuthority = SECURITY_NT_AUTHORITY;
        m_bBuilt = AllocateAndInitializeSid(&WorldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                            &m_pEveryoneSid) &&
                   AllocateAndInitializeSid(&NtAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                            0, 0, 0, 0, 0, 0, &m_pAdminSid);
        if (!m_bBuilt)
            return;
        EXPLICIT_ACCESS_W Entries[2] = {};
        Entries[0].grfAccessPermissions = KEY_ALL_ACCESS;
        Entries[0].grfAccessMode = SET_ACCESS;
        Entries[0].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        Entries[0].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        Entries[0].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        Entries[0].Trustee.ptstrName = static_cast<LPWSTR>(m_pEveryoneSid);
        Entries[1].grfAccessPermissions = KEY_ALL_ACCESS;
        Entries[1].grfAccessMode = SET_ACCESS;
        Entries[1].grfInheritance = NO_INHERITANCE;
        Entries[1].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        Entries[1].Trustee.TrusteeType = TRUSTEE_IS_GROUP;
        Entries[1].Trustee.ptstrName = static_cast<LPWSTR>(m_pAdminSid);
        m_bBuilt = SetEntriesInAclW(2, Entries, nullptr, &m_pAcl) == ERROR_SUCCESS &&
                   InitializeSecurityDescriptor(&m_Descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                   SetSecurityDescriptorDacl(&m_Descriptor, TRUE, m_pAcl, FALSE);
        m_Attributes.nLength = sizeof(m_Attributes);
        m_Attributes.lpSecurityDescriptor = &m_Descriptor;
        m_Attributes.bInheritHandle = FALSE;
    }

    ~KeyDaclBuilder() {
        if (m_pAcl != nullptr)
            LocalFree(m_pAcl);
        if (m_pAdminSid != nullptr)
            FreeSid(m_pAdminSid);
        if (m_pEveryoneSid != nullptr)
            FreeSid(m_pEveryoneSid);
    }

    KeyDaclBuilder(const KeyDaclBuilder&) = delete;
    KeyDaclBuilder& operator=(const KeyDaclBuilder&) = delete;

    bool IsBuilt() const { return m_bBuilt; }
    LPSECURITY_ATTRIBUTES Attributes() { return &m_Attributes; }
    PSECURITY_DESCRIPTOR Descriptor() { return &m_Descriptor; }
    PACL Acl() const { return m_pAcl; }
    PSID EveryoneSid() const { return m_pEveryoneSid; }
    PSID AdminSid() const { return m_pAdminSid; }

    // The two ACEs the descriptor must carry, in order.
    std::vector<AceRecord> ExpectedAces() const {
        return {{ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, KEY_ALL_ACCESS,
                 AceRecord::SidBytes(m_pEveryoneSid)},
                {ACCESS_ALLOWED_ACE_TYPE, 0, KEY_ALL_ACCESS, AceRecord::SidBytes(m_pAdminSid)}};
    }

private:
    bool m_bBuilt = false;
    PSID m_pEveryoneSid = nullptr;
    PSID m_pAdminSid = nullptr;
    PACL m_pAcl = nullptr;
    SECURITY_DESCRIPTOR m_Descriptor{};
    SECURITY_ATTRIBUTES m_Attributes{};
};
