// The parts of one security descriptor (owner, group, DACL) held as bytes,
// read from an absolute or a self-relative descriptor and written back as a
// self-relative one. Registry keys and the process object keep their
// security in this form.
#pragma once

#include <vector>

#include "win32_security.h"

class SecurityDescriptorImage {
public:
    // False (and the image unchanged) when the descriptor is malformed.
    bool Read(const void* pDescriptor);
    // Takes over the parts that SecurityInformation names from Other.
    void Merge(SECURITY_INFORMATION SecurityInformation, const SecurityDescriptorImage& Other);
    // A self-relative descriptor with the parts that SecurityInformation names.
    std::vector<BYTE> SelfRelative(SECURITY_INFORMATION SecurityInformation) const;

    void OwnerSet(std::vector<BYTE> Sid);
    // Present with an empty ACL vector is a null DACL.
    void DaclSet(bool bPresent, std::vector<BYTE> Acl);

    bool DaclPresent() const { return m_bDaclPresent; }
    bool DaclIsNull() const { return m_bDaclPresent && m_Dacl.empty(); }
    const std::vector<BYTE>& Dacl() const { return m_Dacl; }
    const std::vector<BYTE>& Owner() const { return m_Owner; }
    // Null when there is no DACL or a null DACL.
    const ACL* DaclPointer() const;

private:
    bool PrivateReadSelfRelative(const BYTE* pBytes);
    bool PrivateReadAbsolute(const SECURITY_DESCRIPTOR* pAbsolute);
    static bool PrivateSidCopy(const void* pSid, std::vector<BYTE>& Destination);
    static bool PrivateAclCopy(const void* pAcl, std::vector<BYTE>& Destination);

    std::vector<BYTE> m_Owner;
    std::vector<BYTE> m_Group;
    std::vector<BYTE> m_Dacl;
    bool m_bDaclPresent = false;
    WORD m_DaclControl = 0;  // defaulted / auto-inherited / protected bits
};
