#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "WellKnownSid.h"
#include "platform/win32.h"

// The DACL of a key, one text per entry: "allow 000F003F OI|CI Everyone".
inline std::string DaclDescribe(HKEY hKey) {
    DWORD Size = 0;
    LSTATUS Status = RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, nullptr, &Size);
    if (Status != ERROR_INSUFFICIENT_BUFFER)
        return "RegGetKeySecurity size " + std::to_string(Status);
    std::vector<BYTE> Descriptor(Size);
    Status = RegGetKeySecurity(hKey, DACL_SECURITY_INFORMATION, Descriptor.data(), &Size);
    if (Status != ERROR_SUCCESS)
        return "RegGetKeySecurity " + std::to_string(Status);
    BOOL bPresent = FALSE;
    BOOL bDefaulted = FALSE;
    PACL pDacl = nullptr;
    if (!GetSecurityDescriptorDacl(Descriptor.data(), &bPresent, &pDacl, &bDefaulted))
        return "GetSecurityDescriptorDacl failed";
    if (!bPresent || pDacl == nullptr)
        return "no DACL";
    const WellKnownSid Everyone(false);
    const WellKnownSid Administrators(true);
    std::string Text;
    for (DWORD i = 0; i < pDacl->AceCount; ++i) {
        void* pAce = nullptr;
        if (!GetAce(pDacl, i, &pAce))
            return Text + "GetAce failed";
        const auto* pAllowed = static_cast<const ACCESS_ALLOWED_ACE*>(pAce);
        char Mask[16];
        snprintf(Mask, sizeof(Mask), "%08X", static_cast<unsigned>(pAllowed->Mask));
        const BYTE Flags = pAllowed->Header.AceFlags;
        PSID pSid = const_cast<DWORD*>(&pAllowed->SidStart);
        const std::string Who = EqualSid(pSid, Everyone.Get())         ? "Everyone"
                                : EqualSid(pSid, Administrators.Get()) ? "Administrators"
                                                                       : "other";
        std::string FlagText = (Flags & OBJECT_INHERIT_ACE) ? "OI" : "";
        if (Flags & CONTAINER_INHERIT_ACE)
            FlagText += FlagText.empty() ? "CI" : "|CI";
        if (Flags & ~(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE))
            FlagText.append("|").append(std::to_string(Flags));
        if (!Text.empty())
            Text.append("; ");
        Text.append(pAllowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? "allow " : "other ");
        Text.append(Mask).append(" ");
        Text.append(FlagText.empty() ? std::string("-") : FlagText).append(" ");
        Text.append(Who);
    }
    return Text;
}

// What the library gives a key it creates.
constexpr char kEveryoneDacl[] = "allow 000F003F OI|CI Everyone; allow 000F003F - Administrators";
