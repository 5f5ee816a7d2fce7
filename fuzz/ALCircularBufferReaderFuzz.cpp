// The consumer side of the hook driver's rings against a hostile driver: a
// ring of a fuzzed capacity and element size, its header and elements
// rewritten between the reader's steps (one-step takes, takes by an older
// snapshot, overflow marks, re-attachment). Besides memory safety each step
// is checked against what the reader promises:
//   - a take reads only an element inside the ring, copies exactly it and
//     hands back exactly its place (Consumer + 1 modulo the capacity);
//   - a refused take leaves the caller's element and the ring untouched;
//   - a ring whose header is sound and not empty always yields an element;
//   - the reader never writes Producer, CountElements, CountByteElement or
//     an element; the overflow mark is taken only when it is exactly 1.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "FuzzMachine.h"
#include "hook/ALCircularBufferReader.h"
#include "platform/machine.h"
#include "rings/FuzzRing.h"
#include "support/ALDebugLog.h"

namespace {

constexpr uint8_t kUntouched = 0xCD;

struct Before {
    CircularBufferHeader Header;
    std::vector<uint8_t> Elements;
};

Before BeforeTake(const FuzzRing& Ring) {
    return Before{Ring.HeaderGet(), std::vector<uint8_t>(Ring.ElementsGet(), Ring.ElementsGet() + Ring.CountByteElementsGet())};
}

bool SnapshotSound(const CircularBufferHeader& Snapshot, uint32_t Capacity) {
    return Snapshot.CountElements == Capacity && Snapshot.Producer < Capacity && Snapshot.Consumer < Capacity;
}

// What a take by Snapshot (the current header for a one-step take) did.
void TakeCheck(const FuzzRing& Ring, const Before& Prior, const CircularBufferHeader& Snapshot, bool bAttached,
               bool bTaken, const std::vector<uint8_t>& Element) {
    const CircularBufferHeader After = Ring.HeaderGet();
    FUZZ_CHECK(Ring.ElementsEqual(Prior.Elements.data()));
    FUZZ_CHECK(After.Producer == Prior.Header.Producer);
    FUZZ_CHECK(After.CountElements == Prior.Header.CountElements);
    FUZZ_CHECK(After.CountByteElement == Prior.Header.CountByteElement);
    FUZZ_CHECK(After.Overflow == Prior.Header.Overflow);
    const uint32_t Capacity = Ring.CapacityGet();
    if (!bTaken) {
        FUZZ_CHECK(After.Consumer == Prior.Header.Consumer);
        for (uint8_t Byte : Element)
            FUZZ_CHECK(Byte == kUntouched);
        FUZZ_CHECK(!bAttached || !SnapshotSound(Snapshot, Capacity) || Snapshot.Producer == Snapshot.Consumer);
        return;
    }
    FUZZ_CHECK(bAttached && SnapshotSound(Snapshot, Capacity) && Snapshot.Producer != Snapshot.Consumer);
    FUZZ_CHECK(std::memcmp(Element.data(), Prior.Elements.data() + size_t(Snapshot.Consumer) * Element.size(),
                           Element.size()) == 0);
    FUZZ_CHECK(After.Consumer == (Snapshot.Consumer + 1) % Capacity);
}

// The reader under test and what the harness knows of it.
struct Scenario {
    Scenario(FuzzRing& Ring, uint32_t CountByteElement, bool bUpdates)
        : m_Ring(Ring), m_Reader(bUpdates ? "UPD" : "EVT", CountByteElement), m_Element(CountByteElement) {}
    FuzzRing& m_Ring;
    ALCircularBufferReader m_Reader;
    bool m_bAttached = false;
    CircularBufferHeader m_Snapshot{};  // of the current attachment
    std::vector<uint8_t> m_Element;
};

// A one-step take (bBySnapshot false) or a take by the older snapshot.
void StepTake(Scenario& Case, bool bBySnapshot) {
    const Before Prior = BeforeTake(Case.m_Ring);
    const CircularBufferHeader Snapshot = bBySnapshot ? Case.m_Snapshot : Prior.Header;
    Case.m_Ring.SeenNote(Snapshot.CountElements);
    std::memset(Case.m_Element.data(), kUntouched, Case.m_Element.size());
    const bool bTaken = bBySnapshot ? Case.m_Reader.ElementTake(Case.m_Snapshot, Case.m_Element.data())
                                    : Case.m_Reader.ElementTake(Case.m_Element.data());
    TakeCheck(Case.m_Ring, Prior, Snapshot, Case.m_bAttached, bTaken, Case.m_Element);
}

void StepOverflow(Scenario& Case) {
    const CircularBufferHeader Prior = Case.m_Ring.HeaderGet();
    const bool bTaken = Case.m_Reader.OverflowTake();
    const CircularBufferHeader After = Case.m_Ring.HeaderGet();
    FUZZ_CHECK(bTaken == (Case.m_bAttached && Prior.Overflow == 1));
    FUZZ_CHECK(After.Overflow == (bTaken ? 0 : Prior.Overflow));
    FUZZ_CHECK(After.Producer == Prior.Producer && After.Consumer == Prior.Consumer);
}

void StepAttach(Scenario& Case, bool bAttach) {
    if (bAttach) {
        Case.m_Ring.AttachPrepare();
        Case.m_Reader.Attach(Case.m_Ring.AddressGet());
    } else {
        Case.m_Reader.Detach();
    }
    Case.m_bAttached = bAttach;
    FUZZ_CHECK(Case.m_Reader.IsAttached() == bAttach);
    Case.m_Snapshot = CircularBufferHeader{};  // a snapshot belongs to the attachment it was read from
}

// One step of the reader or of the driver, chosen by the input.
void StepRun(Scenario& Case, FuzzInput& Input) {
    switch (Input.ByteRead() % 9) {
    case 0:
        StepTake(Case, false);
        break;
    case 1:  // the snapshot of a later step
        FUZZ_CHECK(Case.m_Reader.HeaderRead(&Case.m_Snapshot) == Case.m_bAttached);
        break;
    case 2:
        StepTake(Case, true);
        break;
    case 3:
        StepOverflow(Case);
        break;
    case 4: {
        const unsigned Field = Input.ByteRead();
        Case.m_Ring.FieldWrite(Field, Input.WordRead());
        break;
    }
    case 5: {  // a small value, where the ring's bounds are
        const unsigned Field = Input.ByteRead();
        Case.m_Ring.FieldWrite(Field, Case.m_Ring.CapacityGet() - 2 + Input.ByteRead() % 4);
        break;
    }
    case 6:
        Case.m_Ring.ElementWrite(Input.ByteRead(), Input);
        break;
    case 7:
        Case.m_Ring.Push(Input);
        break;
    default:
        StepAttach(Case, (Input.ByteRead() & 1) == 0);
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    DebugLevelAL = AL_DEBUG_ERROR;  // the cause lines format the header's values
    FuzzMachineDebugSet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t CountByte) {
    FuzzInput Input(pData, CountByte);
    const bool bUpdates = (Input.ByteRead() & 1) != 0;
    const uint32_t CountByteElement = bUpdates ? sizeof(FrameBufferUpdateEntry) : sizeof(NIMBO_MONITOR_EVENT);
    FuzzRing Ring(1 + Input.ByteRead() % 32, CountByteElement);
    CircularBufferHeader Header;
    Input.BytesRead(&Header, sizeof(Header));
    Ring.HeaderSet(Header);
    for (uint32_t Index = 0; Index < Ring.CapacityGet() && !Input.IsEmpty(); ++Index)
        Ring.ElementWrite(Index, Input);

    Scenario Case(Ring, CountByteElement, bUpdates);
    StepAttach(Case, true);
    while (!Input.IsEmpty())
        StepRun(Case, Input);
    return 0;
}
