// SetEntriesInAclW for trustees given by SID: each entry becomes one allowed
// or denied ACE whose flags are the entry's inheritance bits; the result is in
// canonical order (explicit denials, explicit grants, then the ACEs that the
// old ACL had inherited) and lives in one LocalAlloc block.
#include <algorithm>
#include <cstring>

#include "AceList.h"
#include "SecurityLayout.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kInheritanceBits =
    OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE | INHERIT_ONLY_ACE;

DWORD EntryCheck(const EXPLICIT_ACCESS_W& Entry) {
    if (Entry.Trustee.pMultipleTrustee != nullptr ||
        Entry.Trustee.MultipleTrusteeOperation != NO_MULTIPLE_TRUSTEE)
        return ERROR_INVALID_PARAMETER;
    if (Entry.Trustee.TrusteeForm != TRUSTEE_IS_SID)
        return ERROR_INVALID_PARAMETER;  // names are not resolved on this platform
    if (!SecurityLayout::SidIsValid(Entry.Trustee.ptstrName))
        return ERROR_INVALID_SID;
    switch (Entry.grfAccessMode) {
        case NOT_USED_ACCESS:
        case GRANT_ACCESS:
        case SET_ACCESS:
        case DENY_ACCESS:
        case REVOKE_ACCESS:
            return ERROR_SUCCESS;
        default:
            return ERROR_INVALID_PARAMETER;  // audit entries belong in a SACL
    }
}

bool TrusteeIs(const AceList::Entry& Ace, const std::vector<BYTE>& Sid) {
    return SecurityLayout::SidEqual(Ace.Sid.data(), Sid.data());
}

void TrusteeRemove(std::vector<AceList::Entry>& Aces, const std::vector<BYTE>& Sid, bool bDenialsToo) {
    std::erase_if(Aces, [&](const AceList::Entry& Ace) {
        if ((Ace.Flags & INHERITED_ACE) != 0 || !TrusteeIs(Ace, Sid))
            return false;
        return Ace.Type == ACCESS_ALLOWED_ACE_TYPE || bDenialsToo;
    });
}

// A grant or denial with the same trustee and flags as an earlier ACE of the
// same kind widens that ACE instead of adding another.
void AceMerge(std::vector<AceList::Entry>& Aces, AceList::Entry Ace) {
    for (AceList::Entry& Existing : Aces) {
        if (Existing.Type == Ace.Type && Existing.Flags == Ace.Flags && TrusteeIs(Existing, Ace.Sid)) {
            Existing.Mask |= Ace.Mask;
            return;
        }
    }
    Aces.push_back(std::move(Ace));
}

std::vector<BYTE> AclBuild(const std::vector<AceList::Entry>& OldAces, ULONG cCount,
                           const EXPLICIT_ACCESS_W* pEntries) {
    std::vector<AceList::Entry> Old = OldAces;
    std::vector<AceList::Entry> NewDenials;
    std::vector<AceList::Entry> NewGrants;
    for (ULONG i = 0; i < cCount; ++i) {
        const EXPLICIT_ACCESS_W& Entry = pEntries[i];
        const std::vector<BYTE> Sid = SecurityLayout::SidBytes(Entry.Trustee.ptstrName);
        const auto Flags = static_cast<BYTE>(Entry.grfInheritance & kInheritanceBits);
        switch (Entry.grfAccessMode) {
            case SET_ACCESS:
                TrusteeRemove(Old, Sid, true);
                TrusteeRemove(NewGrants, Sid, true);
                TrusteeRemove(NewDenials, Sid, true);
                AceMerge(NewGrants, {ACCESS_ALLOWED_ACE_TYPE, Flags, Entry.grfAccessPermissions, Sid});
                break;
            case GRANT_ACCESS:
                AceMerge(NewGrants, {ACCESS_ALLOWED_ACE_TYPE, Flags, Entry.grfAccessPermissions, Sid});
                break;
            case DENY_ACCESS:
                AceMerge(NewDenials, {ACCESS_DENIED_ACE_TYPE, Flags, Entry.grfAccessPermissions, Sid});
                break;
            case REVOKE_ACCESS:
                TrusteeRemove(Old, Sid, false);
                TrusteeRemove(NewGrants, Sid, false);
                break;
            default:
                break;
        }
    }
    AceList Result;
    auto AppendWhere = [&](const std::vector<AceList::Entry>& From, auto Predicate) {
        for (const AceList::Entry& Ace : From)
            if (Predicate(Ace))
                Result.Append(Ace);
    };
    auto Explicit = [](BYTE Type) {
        return [Type](const AceList::Entry& Ace) { return Ace.Type == Type && !(Ace.Flags & INHERITED_ACE); };
    };
    auto Any = [](const AceList::Entry&) { return true; };
    AppendWhere(NewDenials, Any);
    AppendWhere(Old, Explicit(ACCESS_DENIED_ACE_TYPE));
    AppendWhere(NewGrants, Any);
    AppendWhere(Old, Explicit(ACCESS_ALLOWED_ACE_TYPE));
    AppendWhere(Old, [](const AceList::Entry& Ace) { return (Ace.Flags & INHERITED_ACE) != 0; });
    return Result.Bytes();
}

}  // namespace

DWORD WINAPI SetEntriesInAclW(ULONG cCountOfExplicitEntries,
                              PEXPLICIT_ACCESS_W pListOfExplicitEntries, PACL OldAcl,
                              PACL* NewAcl) {
    if (NewAcl == nullptr || (cCountOfExplicitEntries != 0 && pListOfExplicitEntries == nullptr))
        return ERROR_INVALID_PARAMETER;
    *NewAcl = nullptr;
    AceList Old;
    if (OldAcl != nullptr && !Old.Read(OldAcl))
        return ERROR_INVALID_ACL;
    for (ULONG i = 0; i < cCountOfExplicitEntries; ++i) {
        const DWORD dwError = EntryCheck(pListOfExplicitEntries[i]);
        if (dwError != ERROR_SUCCESS)
            return dwError;
    }
    const std::vector<BYTE> Bytes = AclBuild(Old.Entries(), cCountOfExplicitEntries, pListOfExplicitEntries);
    void* pBlock = LocalAlloc(LPTR, Bytes.size());
    if (pBlock == nullptr)
        return ERROR_NOT_ENOUGH_MEMORY;
    std::memcpy(pBlock, Bytes.data(), Bytes.size());
    *NewAcl = static_cast<PACL>(pBlock);
    return ERROR_SUCCESS;
}
