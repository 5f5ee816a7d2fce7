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
    const uint32_t Capacity = 1 + Input.ByteRead() % 32;
    FuzzRing Ring(Capacity, CountByteElement);
    CircularBufferHeader Header;
    Input.BytesRead(&Header, sizeof(Header));
    Ring.HeaderSet(Header);
    for (uint32_t Index = 0; Index < Capacity && !Input.IsEmpty(); ++Index)
        Ring.ElementWrite(Index, Input);

    ALCircularBufferReader Reader(bUpdates ? "UPD" : "EVT", CountByteElement);
    Ring.AttachPrepare();
    Reader.Attach(Ring.AddressGet());
    bool bAttached = true;
    CircularBufferHeader Snapshot{};
    std::vector<uint8_t> Element(CountByteElement);

    while (!Input.IsEmpty()) {
        switch (Input.ByteRead() % 9) {
        case 0: {  // one step
            const Before Prior = BeforeTake(Ring);
            Ring.SeenNote(Prior.Header.CountElements);
            std::memset(Element.data(), kUntouched, Element.size());
            const bool bTaken = Reader.ElementTake(Element.data());
            TakeCheck(Ring, Prior, Prior.Header, bAttached, bTaken, Element);
            break;
        }
        case 1:  // the snapshot of a later step
            FUZZ_CHECK(Reader.HeaderRead(&Snapshot) == bAttached);
            break;
        case 2: {  // a step by the older snapshot
            const Before Prior = BeforeTake(Ring);
            Ring.SeenNote(Snapshot.CountElements);
            std::memset(Element.data(), kUntouched, Element.size());
            const bool bTaken = Reader.ElementTake(Snapshot, Element.data());
            TakeCheck(Ring, Prior, Snapshot, bAttached, bTaken, Element);
            break;
        }
        case 3: {
            const CircularBufferHeader Prior = Ring.HeaderGet();
            const bool bTaken = Reader.OverflowTake();
            const CircularBufferHeader After = Ring.HeaderGet();
            FUZZ_CHECK(bTaken == (bAttached && Prior.Overflow == 1));
            FUZZ_CHECK(After.Overflow == (bTaken ? 0 : Prior.Overflow));
            FUZZ_CHECK(After.Producer == Prior.Producer && After.Consumer == Prior.Consumer);
            break;
        }
        case 4: {
            const unsigned Field = Input.ByteRead();
            Ring.FieldWrite(Field, Input.WordRead());
            break;
        }
        case 5: {  // a small value, where the ring's bounds are
            const unsigned Field = Input.ByteRead();
            Ring.FieldWrite(Field, Capacity - 2 + Input.ByteRead() % 4);
            break;
        }
        case 6:
            Ring.ElementWrite(Input.ByteRead(), Input);
            break;
        case 7:
            Ring.Push(Input);
            break;
        default:
            if ((Input.ByteRead() & 1) != 0) {
                Reader.Detach();
                bAttached = false;
            } else {
                Ring.AttachPrepare();
                Reader.Attach(Ring.AddressGet());
                bAttached = true;
            }
            FUZZ_CHECK(Reader.IsAttached() == bAttached);
            // A snapshot belongs to the attachment it was read from.
            Snapshot = CircularBufferHeader{};
            break;
        }
    }
    return 0;
}
