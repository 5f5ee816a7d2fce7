// The consumer side of one ring that the hook display driver fills in memory
// shared with the process: a CircularBufferHeader followed by the elements.
// The driver writes that memory at any time, so every header field is read
// exactly once per step (HeaderRead) and the step works on that snapshot.
//
// Only the ring's own bounds are ever read. A header whose CountElements is 0,
// differs from the capacity the ring first announced, or whose Producer or
// Consumer lies at or beyond it, makes the ring read as empty; each such cause
// is logged once per attachment, not per event.
//
// One consumer thread per reader; no lock. The hand-over with the driver is
// the order "read Producer, copy the element, store Consumer".
#pragma once

#include <cstdint>

#include "driver/ALHookSharedRecords.h"

class ALCircularBufferReader {
public:
    // pRingName names the ring in the log ("EVT", "UPD"); CountByteElement is
    // the element size the library relies on (never the header's).
    ALCircularBufferReader(const char* pRingName, uint32_t CountByteElement);

    // Starts reading the ring at pRing (null: no ring); causes logged for an
    // earlier ring are forgotten.
    void Attach(void* pRing);
    void Detach();
    bool IsAttached() const { return m_pRing != nullptr; }

    // One read of each header field. False (snapshot zero) without a ring.
    bool HeaderRead(CircularBufferHeader* pSnapshot) const;
    // Takes the oldest element by the snapshot into pElement and hands its
    // place back to the driver. False, pElement untouched, when the snapshot
    // shows an empty or rejected ring.
    bool ElementTake(const CircularBufferHeader& Snapshot, void* pElement);
    // HeaderRead and ElementTake in one step.
    bool ElementTake(void* pElement);
    // True when the driver's overflow mark is exactly 1; the mark is then
    // cleared. Any other value changes nothing.
    bool OverflowTake();

private:
    enum Cause : uint32_t {
        CauseCountElementsZero = 1,
        CauseCountElementsChanged = 2,
        CauseProducer = 4,
        CauseConsumer = 8,
    };

    bool PrivateSnapshotAccepted(const CircularBufferHeader& Snapshot);
    bool PrivateCauseFirst(Cause Reason);
    uint32_t* PrivateField(uint32_t CircularBufferHeader::*pField) const;

    const char* const m_pRingName;
    const uint32_t m_CountByteElement;
    uint8_t* m_pRing = nullptr;
    uint32_t m_CountElements = 0;  // capacity first announced by the attached ring
    uint32_t m_CausesLogged = 0;
};
