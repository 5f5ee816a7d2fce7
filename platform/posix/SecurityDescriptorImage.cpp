#include "SecurityDescriptorImage.h"

#include <cstring>

#include "SecurityLayout.h"

namespace {

// SECURITY_DESCRIPTOR_RELATIVE: revision, Sbz1, control, then the offsets of
// owner, group, SACL and DACL from the start of the descriptor (0 = absent).
constexpr DWORD kRelativeHeaderBytes = 20;
constexpr DWORD kOwnerOffsetAt = 4;
constexpr DWORD kGroupOffsetAt = 8;
constexpr DWORD kDaclOffsetAt = 16;
constexpr WORD kDaclControlBits = SE_DACL_DEFAULTED | SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED;

DWORD DwordAt(const BYTE* p) {
    DWORD dw;
    std::memcpy(&dw, p, sizeof(dw));
    return dw;
}

void DwordPut(std::vector<BYTE>& Bytes, DWORD dwAt, DWORD dwValue) {
    std::memcpy(Bytes.data() + dwAt, &dwValue, sizeof(dwValue));
}

}  // namespace

bool SecurityDescriptorImage::Read(const void* pDescriptor) {
    if (pDescriptor == nullptr)
        return false;
    const auto* pBytes = static_cast<const BYTE*>(pDescriptor);
    if (pBytes[0] != SECURITY_DESCRIPTOR_REVISION)
        return false;
    WORD wControl;
    std::memcpy(&wControl, pBytes + 2, sizeof(wControl));
    SecurityDescriptorImage Parsed;
    const bool bRead = (wControl & SE_SELF_RELATIVE)
                           ? Parsed.PrivateReadSelfRelative(pBytes)
                           : Parsed.PrivateReadAbsolute(static_cast<const SECURITY_DESCRIPTOR*>(pDescriptor));
    if (!bRead)
        return false;
    *this = std::move(Parsed);
    return true;
}

bool SecurityDescriptorImage::PrivateReadSelfRelative(const BYTE* pBytes) {
    WORD wControl;
    std::memcpy(&wControl, pBytes + 2, sizeof(wControl));
    const DWORD dwOwner = DwordAt(pBytes + kOwnerOffsetAt);
    const DWORD dwGroup = DwordAt(pBytes + kGroupOffsetAt);
    const DWORD dwDacl = DwordAt(pBytes + kDaclOffsetAt);
    if (dwOwner != 0 && !PrivateSidCopy(pBytes + dwOwner, m_Owner))
        return false;
    if (dwGroup != 0 && !PrivateSidCopy(pBytes + dwGroup, m_Group))
        return false;
    m_bDaclPresent = (wControl & SE_DACL_PRESENT) != 0;
    m_DaclControl = wControl & kDaclControlBits;
    if (m_bDaclPresent && dwDacl != 0)
        return PrivateAclCopy(pBytes + dwDacl, m_Dacl);
    return true;
}

bool SecurityDescriptorImage::PrivateReadAbsolute(const SECURITY_DESCRIPTOR* pAbsolute) {
    if (pAbsolute->Owner != nullptr && !PrivateSidCopy(pAbsolute->Owner, m_Owner))
        return false;
    if (pAbsolute->Group != nullptr && !PrivateSidCopy(pAbsolute->Group, m_Group))
        return false;
    m_bDaclPresent = (pAbsolute->Control & SE_DACL_PRESENT) != 0;
    m_DaclControl = pAbsolute->Control & kDaclControlBits;
    if (m_bDaclPresent && pAbsolute->Dacl != nullptr)
        return PrivateAclCopy(pAbsolute->Dacl, m_Dacl);
    return true;
}

bool SecurityDescriptorImage::PrivateSidCopy(const void* pSid, std::vector<BYTE>& Destination) {
    if (!SecurityLayout::SidIsValid(pSid))
        return false;
    Destination = SecurityLayout::SidBytes(pSid);
    return true;
}

bool SecurityDescriptorImage::PrivateAclCopy(const void* pAcl, std::vector<BYTE>& Destination) {
    const auto* pTyped = static_cast<const ACL*>(pAcl);
    if (!SecurityLayout::AclIsValid(pTyped))
        return false;
    Destination = SecurityLayout::AclBytes(pTyped);
    return true;
}

void SecurityDescriptorImage::Merge(SECURITY_INFORMATION SecurityInformation,
                                    const SecurityDescriptorImage& Other) {
    if (SecurityInformation & OWNER_SECURITY_INFORMATION)
        m_Owner = Other.m_Owner;
    if (SecurityInformation & GROUP_SECURITY_INFORMATION)
        m_Group = Other.m_Group;
    if (SecurityInformation & DACL_SECURITY_INFORMATION) {
        m_bDaclPresent = Other.m_bDaclPresent;
        m_Dacl = Other.m_Dacl;
        m_DaclControl = Other.m_DaclControl;
    }
}

std::vector<BYTE> SecurityDescriptorImage::SelfRelative(SECURITY_INFORMATION SecurityInformation) const {
    const bool bDacl = (SecurityInformation & DACL_SECURITY_INFORMATION) && m_bDaclPresent;
    const bool bOwner = (SecurityInformation & OWNER_SECURITY_INFORMATION) && !m_Owner.empty();
    const bool bGroup = (SecurityInformation & GROUP_SECURITY_INFORMATION) && !m_Group.empty();
    const size_t Total = kRelativeHeaderBytes + (bDacl ? m_Dacl.size() : 0) + (bOwner ? m_Owner.size() : 0) +
                         (bGroup ? m_Group.size() : 0);
    std::vector<BYTE> Bytes(Total, 0);
    DWORD dwAt = kRelativeHeaderBytes;
    auto Place = [&](const std::vector<BYTE>& Part, DWORD dwOffsetAt) {
        if (Part.empty())
            return;
        std::memcpy(Bytes.data() + dwAt, Part.data(), Part.size());
        DwordPut(Bytes, dwOffsetAt, dwAt);
        dwAt += static_cast<DWORD>(Part.size());
    };
    WORD wControl = SE_SELF_RELATIVE;
    if (bDacl) {
        wControl |= SE_DACL_PRESENT | m_DaclControl;
        Place(m_Dacl, kDaclOffsetAt);  // an empty one is a null DACL: present, offset 0
    }
    if (bOwner)
        Place(m_Owner, kOwnerOffsetAt);
    if (bGroup)
        Place(m_Group, kGroupOffsetAt);
    Bytes[0] = SECURITY_DESCRIPTOR_REVISION;
    std::memcpy(Bytes.data() + 2, &wControl, sizeof(wControl));
    return Bytes;
}

void SecurityDescriptorImage::OwnerSet(std::vector<BYTE> Sid) { m_Owner = std::move(Sid); }

void SecurityDescriptorImage::DaclSet(bool bPresent, std::vector<BYTE> Acl) {
    m_bDaclPresent = bPresent;
    m_Dacl = bPresent ? std::move(Acl) : std::vector<BYTE>{};
    m_DaclControl = 0;
}

const ACL* SecurityDescriptorImage::DaclPointer() const {
    return m_Dacl.empty() ? nullptr : reinterpret_cast<const ACL*>(m_Dacl.data());
}
