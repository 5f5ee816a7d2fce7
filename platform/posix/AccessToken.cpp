#include "AccessToken.h"

#include <atomic>
#include <cstring>

#include "AceList.h"
#include "SecurityLayout.h"

namespace {

std::atomic<bool> g_bCallerIsAdministrator{true};

constexpr BYTE kWorldAuthority = 1;
constexpr BYTE kNtAuthority = 5;
constexpr ACCESS_MASK kOwnerImplicitRights = READ_CONTROL | WRITE_DAC;
constexpr ACCESS_MASK kGenericBits = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL;

}  // namespace

std::vector<BYTE> AccessToken::WellKnownSid(BYTE Authority, std::vector<DWORD> SubAuthorities) {
    std::vector<BYTE> Sid(8 + 4 * SubAuthorities.size(), 0);
    Sid[0] = SID_REVISION;
    Sid[1] = static_cast<BYTE>(SubAuthorities.size());
    Sid[7] = Authority;
    std::memcpy(Sid.data() + 8, SubAuthorities.data(), 4 * SubAuthorities.size());
    return Sid;
}

AccessToken AccessToken::Caller() {
    AccessToken Token;
    const std::vector<BYTE> User = WellKnownSid(kNtAuthority, {21, 1000000001, 1000000002, 1000000003, 1001});
    Token.m_Groups = {
        User,
        WellKnownSid(kWorldAuthority, {SECURITY_WORLD_RID}),
        WellKnownSid(kNtAuthority, {SECURITY_INTERACTIVE_RID}),
        WellKnownSid(kNtAuthority, {SECURITY_AUTHENTICATED_USER_RID}),
        WellKnownSid(kNtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}),
    };
    Token.m_Owner = User;
    if (CallerIsAdministrator()) {
        Token.m_Owner = WellKnownSid(kNtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
        Token.m_Groups.push_back(Token.m_Owner);
    }
    return Token;
}

AccessToken AccessToken::Service() {
    AccessToken Token;
    Token.m_Owner = WellKnownSid(kNtAuthority, {SECURITY_LOCAL_SERVICE_RID});
    Token.m_Groups = {
        Token.m_Owner,
        WellKnownSid(kWorldAuthority, {SECURITY_WORLD_RID}),
        WellKnownSid(kNtAuthority, {SECURITY_SERVICE_RID}),
        WellKnownSid(kNtAuthority, {SECURITY_AUTHENTICATED_USER_RID}),
    };
    return Token;
}

void AccessToken::CallerAdministratorSet(bool bAdministrator) { g_bCallerIsAdministrator.store(bAdministrator); }

bool AccessToken::CallerIsAdministrator() { return g_bCallerIsAdministrator.load(); }

bool AccessToken::Contains(const void* pSid) const {
    for (const std::vector<BYTE>& Group : m_Groups)
        if (SecurityLayout::SidEqual(Group.data(), pSid))
            return true;
    return false;
}

ACCESS_MASK AccessToken::PrivateMap(ACCESS_MASK Desired, const GENERIC_MAPPING& Mapping) {
    ACCESS_MASK Mapped = Desired & ~kGenericBits;
    if (Desired & GENERIC_READ)
        Mapped |= Mapping.GenericRead;
    if (Desired & GENERIC_WRITE)
        Mapped |= Mapping.GenericWrite;
    if (Desired & GENERIC_EXECUTE)
        Mapped |= Mapping.GenericExecute;
    if (Desired & GENERIC_ALL)
        Mapped |= Mapping.GenericAll;
    return Mapped;
}

// The documented evaluation: ACEs in order, inherit-only ones skipped; a
// right is decided by the first ACE that names it for one of the token's SIDs.
bool AccessToken::Check(const SecurityDescriptorImage& Descriptor, ACCESS_MASK Desired,
                        const GENERIC_MAPPING& Mapping, ACCESS_MASK* pGranted) const {
    const bool bMaximum = (Desired & MAXIMUM_ALLOWED) != 0;
    const ACCESS_MASK Wanted = PrivateMap(Desired & ~MAXIMUM_ALLOWED, Mapping);
    if (!Descriptor.DaclPresent() || Descriptor.DaclIsNull()) {
        *pGranted = bMaximum ? (Wanted | Mapping.GenericAll) : Wanted;
        return true;
    }
    ACCESS_MASK Granted = 0;
    ACCESS_MASK Denied = 0;
    if (!Descriptor.Owner().empty() && Contains(Descriptor.Owner().data()))
        Granted |= kOwnerImplicitRights;
    AceList Aces;
    if (Aces.Read(Descriptor.DaclPointer())) {
        for (const AceList::Entry& Ace : Aces.Entries()) {
            if ((Ace.Flags & INHERIT_ONLY_ACE) || !Contains(Ace.Sid.data()))
                continue;
            const ACCESS_MASK Mask = PrivateMap(Ace.Mask, Mapping);
            if (Ace.Type == ACCESS_ALLOWED_ACE_TYPE)
                Granted |= Mask & ~Denied;
            else
                Denied |= Mask & ~Granted;
        }
    }
    if (bMaximum) {
        *pGranted = Granted;
        return (Wanted & ~Granted) == 0 && Granted != 0;
    }
    *pGranted = Wanted & Granted;
    return (Wanted & ~Granted) == 0;
}
