// One ACE of a DACL as plain values, for comparing DACLs in tests, and the
// readers that produce them from an ACL or a registry key.
#pragma once

#include <cstring>
#include <ostream>
#include <vector>

#include "platform/win32.h"

struct AceRecord {
    BYTE Type;
    BYTE Flags;
    ACCESS_MASK Mask;
    std::vector<BYTE> Sid;

    bool operator==(const AceRecord&) const = default;

    static std::vector<BYTE> SidBytes(PSID pSid) {
        const auto* p = static_cast<const BYTE*>(pSid);
        return std::vector<BYTE>(p, p + GetLengthSid(pSid));
    }

    // Every ACE of an allowed/denied-only ACL, in order.
    static std::vector<AceRecord> FromAcl(PACL pAcl) {
        std::vector<AceRecord> Records;
        ACL_SIZE_INFORMATION Size{};
        if (pAcl == nullptr || !GetAclInformation(pAcl, &Size, sizeof(Size), AclSizeInformation))
            return Records;
        for (DWORD i = 0; i < Size.AceCount; ++i) {
            void* pAce = nullptr;
            if (!GetAce(pAcl, i, &pAce))
                break;
            auto* pAllowed = static_cast<ACCESS_ALLOWED_ACE*>(pAce);
            Records.push_back({pAllowed->Header.AceType, pAllowed->Header.AceFlags, pAllowed->Mask,
                               SidBytes(&pAllowed->SidStart)});
        }
        return Records;
    }

    // The DACL of a registry key as RegGetKeySecurity reports it.
    static std::vector<AceRecord> FromKey(HKEY hKey) {
        DWORD cbDescriptor = 0;
        if (RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, nullptr, &cbDescriptor) !=
            ERROR_INSUFFICIENT_BUFFER)
            return {};
        std::vector<BYTE> Descriptor(cbDescriptor);
        if (RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, Descriptor.data(), &cbDescriptor) != ERROR_SUCCESS)
            return {};
        BOOL bPresent = FALSE;
        BOOL bDefaulted = FALSE;
        PACL pDacl = nullptr;
        if (!GetSecurityDescriptorDacl(Descriptor.data(), &bPresent, &pDacl, &bDefaulted) || !bPresent)
            return {};
        return FromAcl(pDacl);
    }
};

inline std::ostream& operator<<(std::ostream& Stream, const AceRecord& Ace) {
    Stream << "{type " << int(Ace.Type) << ", flags 0x" << std::hex << int(Ace.Flags) << ", mask 0x" << Ace.Mask
           << ", sid";
    for (BYTE b : Ace.Sid)
        Stream << ' ' << int(b);
    return Stream << std::dec << '}';
}
