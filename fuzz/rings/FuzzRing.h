// The driver's side of one hook ring for the fuzz targets: a header and
// Capacity elements in one heap block of exactly that size (a read past the
// ring is a heap overflow for AddressSanitizer), written as a hostile driver
// would, between the reader's steps.
//
// The one thing the reader must trust is the capacity the ring announces
// first (its memory has no other size). Until the reader has seen it, a
// non-zero CountElements written here is the true capacity; afterwards any
// value may be written.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "FuzzInput.h"
#include "driver/ALHookSharedRecords.h"

class FuzzRing {
public:
    FuzzRing(uint32_t Capacity, uint32_t CountByteElement)
        : m_Capacity(Capacity),
          m_CountByteElement(CountByteElement),
          m_CountByte(sizeof(CircularBufferHeader) + size_t(Capacity) * CountByteElement),
          m_pMemory(new uint8_t[m_CountByte]()) {}

    void* AddressGet() const { return m_pMemory.get(); }
    uint32_t CapacityGet() const { return m_Capacity; }
    uint32_t CountByteElementGet() const { return m_CountByteElement; }

    CircularBufferHeader HeaderGet() const {
        CircularBufferHeader Header;
        std::memcpy(&Header, m_pMemory.get(), sizeof(Header));
        return Header;
    }
    void HeaderSet(const CircularBufferHeader& Header) { std::memcpy(m_pMemory.get(), &Header, sizeof(Header)); }

    // Field 0..4 in header order.
    void FieldWrite(unsigned Field, uint32_t Value) {
        CircularBufferHeader Header = HeaderGet();
        uint32_t* Fields[] = {&Header.Producer, &Header.Consumer, &Header.CountElements, &Header.CountByteElement,
                              &Header.Overflow};
        if (Fields[Field % 5] == &Header.CountElements && !m_bAnnounced && Value != 0)
            Value = m_Capacity;
        *Fields[Field % 5] = Value;
        HeaderSet(Header);
    }
    // The reader attaches now: what it sees must be the capacity or 0.
    void AttachPrepare() {
        CircularBufferHeader Header = HeaderGet();
        if (Header.CountElements != 0)
            Header.CountElements = m_Capacity;
        HeaderSet(Header);
        m_bAnnounced = Header.CountElements != 0;
    }
    // The reader looked at a header with this capacity.
    void SeenNote(uint32_t CountElements) {
        if (CountElements == m_Capacity)
            m_bAnnounced = true;
    }

    uint8_t* ElementAt(uint32_t Index) const {
        return m_pMemory.get() + sizeof(CircularBufferHeader) + size_t(Index % m_Capacity) * m_CountByteElement;
    }
    void ElementWrite(uint32_t Index, FuzzInput& Input) { Input.BytesRead(ElementAt(Index), m_CountByteElement); }
    // As a sound driver does: the element at Producer, then Producer moves.
    void Push(FuzzInput& Input) {
        CircularBufferHeader Header = HeaderGet();
        if (Header.Producer >= m_Capacity)
            return;
        ElementWrite(Header.Producer, Input);
        FieldWrite(0, (Header.Producer + 1) % m_Capacity);
    }
    bool ElementsEqual(const uint8_t* pElements) const {
        return std::memcmp(pElements, ElementAt(0), size_t(m_Capacity) * m_CountByteElement) == 0;
    }
    const uint8_t* ElementsGet() const { return ElementAt(0); }
    size_t CountByteElementsGet() const { return size_t(m_Capacity) * m_CountByteElement; }

private:
    const uint32_t m_Capacity;
    const uint32_t m_CountByteElement;
    const size_t m_CountByte;
    std::unique_ptr<uint8_t[]> m_pMemory;
    bool m_bAnnounced = false;
};
