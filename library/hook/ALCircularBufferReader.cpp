#include "hook/ALCircularBufferReader.h"

#include <atomic>
#include <cstring>

#include "support/ALDebugLog.h"

namespace {

constexpr size_t CountByteHeader = sizeof(CircularBufferHeader);

// The driver's stores become visible to this thread in order: what it wrote
// into an element before it moved Producer is there once Producer is read.
uint32_t SharedLoad(uint32_t* pField) { return std::atomic_ref<uint32_t>(*pField).load(std::memory_order_acquire); }

void SharedStore(uint32_t* pField, uint32_t Value) {
    std::atomic_ref<uint32_t>(*pField).store(Value, std::memory_order_release);
}

}  // namespace

ALCircularBufferReader::ALCircularBufferReader(const char* pRingName, uint32_t CountByteElement)
    : m_pRingName(pRingName), m_CountByteElement(CountByteElement) {}

void ALCircularBufferReader::Attach(void* pRing) {
    m_pRing = static_cast<uint8_t*>(pRing);
    m_CausesLogged = 0;
    // The capacity the driver set up the ring with; later headers must agree.
    m_CountElements = m_pRing != nullptr ? SharedLoad(PrivateField(&CircularBufferHeader::CountElements)) : 0;
}

void ALCircularBufferReader::Detach() {
    m_pRing = nullptr;
    m_CountElements = 0;
}

uint32_t* ALCircularBufferReader::PrivateField(uint32_t CircularBufferHeader::*pField) const {
    return &(reinterpret_cast<CircularBufferHeader*>(m_pRing)->*pField);
}

bool ALCircularBufferReader::HeaderRead(CircularBufferHeader* pSnapshot) const {
    *pSnapshot = CircularBufferHeader{};
    if (m_pRing == nullptr)
        return false;
    pSnapshot->Producer = SharedLoad(PrivateField(&CircularBufferHeader::Producer));
    pSnapshot->Consumer = SharedLoad(PrivateField(&CircularBufferHeader::Consumer));
    pSnapshot->CountElements = SharedLoad(PrivateField(&CircularBufferHeader::CountElements));
    pSnapshot->CountByteElement = SharedLoad(PrivateField(&CircularBufferHeader::CountByteElement));
    pSnapshot->Overflow = SharedLoad(PrivateField(&CircularBufferHeader::Overflow));
    return true;
}

bool ALCircularBufferReader::PrivateCauseFirst(Cause Reason) {
    const bool bFirst = (m_CausesLogged & Reason) == 0;
    m_CausesLogged |= Reason;
    return bFirst;
}

bool ALCircularBufferReader::PrivateSnapshotAccepted(const CircularBufferHeader& Snapshot) {
    if (Snapshot.CountElements == 0) {
        if (PrivateCauseFirst(CauseCountElementsZero))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALCircularBufferReader::ElementTake failed! %S ring CountElements 0, read as empty\n",
                         m_pRingName);
        return false;
    }
    if (m_CountElements == 0)
        m_CountElements = Snapshot.CountElements;
    if (Snapshot.CountElements != m_CountElements) {
        if (PrivateCauseFirst(CauseCountElementsChanged))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALCircularBufferReader::ElementTake failed! %S ring CountElements %u, announced %u, "
                         L"read as empty\n",
                         m_pRingName, Snapshot.CountElements, m_CountElements);
        return false;
    }
    if (Snapshot.Producer >= m_CountElements) {
        if (PrivateCauseFirst(CauseProducer))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALCircularBufferReader::ElementTake failed! %S ring Producer %u at or beyond "
                         L"CountElements %u, read as empty\n",
                         m_pRingName, Snapshot.Producer, m_CountElements);
        return false;
    }
    if (Snapshot.Consumer >= m_CountElements) {
        if (PrivateCauseFirst(CauseConsumer))
            ALDebugPrint(AL_DEBUG_ERROR,
                         L"ALCircularBufferReader::ElementTake failed! %S ring Consumer %u at or beyond "
                         L"CountElements %u, read as empty\n",
                         m_pRingName, Snapshot.Consumer, m_CountElements);
        return false;
    }
    return true;
}

bool ALCircularBufferReader::ElementTake(const CircularBufferHeader& Snapshot, void* pElement) {
    if (m_pRing == nullptr || !PrivateSnapshotAccepted(Snapshot) || Snapshot.Producer == Snapshot.Consumer)
        return false;
    const size_t Offset = CountByteHeader + static_cast<size_t>(Snapshot.Consumer) * m_CountByteElement;
    std::memcpy(pElement, m_pRing + Offset, m_CountByteElement);
    // Only now may the driver reuse the element.
    SharedStore(PrivateField(&CircularBufferHeader::Consumer), (Snapshot.Consumer + 1) % m_CountElements);
    return true;
}

bool ALCircularBufferReader::ElementTake(void* pElement) {
    CircularBufferHeader Snapshot;
    return HeaderRead(&Snapshot) && ElementTake(Snapshot, pElement);
}

bool ALCircularBufferReader::OverflowTake() {
    if (m_pRing == nullptr)
        return false;
    uint32_t* pOverflow = PrivateField(&CircularBufferHeader::Overflow);
    if (SharedLoad(pOverflow) != 1)
        return false;
    SharedStore(pOverflow, 0);
    return true;
}
