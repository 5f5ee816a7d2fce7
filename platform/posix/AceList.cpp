#include "AceList.h"

#include <cstring>

#include "SecurityLayout.h"

bool AceList::Read(const ACL* pAcl) {
    if (!SecurityLayout::AclIsValid(pAcl))
        return false;
    std::vector<Entry> Entries;
    const auto* pBase = reinterpret_cast<const BYTE*>(pAcl);
    for (DWORD i = 0; i < pAcl->AceCount; ++i) {
        const auto* pHeader = reinterpret_cast<const ACE_HEADER*>(pBase + SecurityLayout::AceOffset(pAcl, i));
        if (pHeader->AceType != ACCESS_ALLOWED_ACE_TYPE && pHeader->AceType != ACCESS_DENIED_ACE_TYPE)
            return false;
        const void* pSid = SecurityLayout::AceSid(pHeader);
        if (pSid == nullptr)
            return false;
        ACCESS_MASK Mask;
        std::memcpy(&Mask, reinterpret_cast<const BYTE*>(pHeader) + sizeof(ACE_HEADER), sizeof(Mask));
        Entries.push_back({pHeader->AceType, pHeader->AceFlags, Mask, SecurityLayout::SidBytes(pSid)});
    }
    m_Entries = std::move(Entries);
    return true;
}

std::vector<BYTE> AceList::Bytes() const {
    std::vector<BYTE> Bytes(sizeof(ACL), 0);
    for (const Entry& Ace : m_Entries) {
        const auto wSize = static_cast<WORD>(sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) + Ace.Sid.size());
        const ACE_HEADER Header{Ace.Type, Ace.Flags, wSize};
        const size_t At = Bytes.size();
        Bytes.resize(At + wSize);
        std::memcpy(Bytes.data() + At, &Header, sizeof(Header));
        std::memcpy(Bytes.data() + At + sizeof(Header), &Ace.Mask, sizeof(Ace.Mask));
        std::memcpy(Bytes.data() + At + sizeof(Header) + sizeof(Ace.Mask), Ace.Sid.data(), Ace.Sid.size());
    }
    const ACL Header{ACL_REVISION, 0, static_cast<WORD>(Bytes.size()), static_cast<WORD>(m_Entries.size()), 0};
    std::memcpy(Bytes.data(), &Header, sizeof(Header));
    return Bytes;
}

// The documented rules for a child that is itself a container: an ACE with
// CONTAINER_INHERIT_ACE is inherited as effective (and keeps propagating
// unless NO_PROPAGATE_INHERIT_ACE is set); an ACE with only OBJECT_INHERIT_ACE
// is passed on as inherit-only, for the container's own objects.
AceList AceList::ContainerInheritance() const {
    AceList Inherited;
    for (const Entry& Ace : m_Entries) {
        const bool bContainer = (Ace.Flags & CONTAINER_INHERIT_ACE) != 0;
        const bool bObject = (Ace.Flags & OBJECT_INHERIT_ACE) != 0;
        const bool bNoPropagate = (Ace.Flags & NO_PROPAGATE_INHERIT_ACE) != 0;
        if (!bContainer && !(bObject && !bNoPropagate))
            continue;
        BYTE Flags = INHERITED_ACE;
        if (!bContainer)
            Flags |= OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;
        else if (!bNoPropagate)
            Flags |= Ace.Flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        Inherited.Append({Ace.Type, Flags, Ace.Mask, Ace.Sid});
    }
    return Inherited;
}
