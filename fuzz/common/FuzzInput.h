// The fuzzer's bytes read front to back as the values a harness needs. Past
// the end every value reads as zero, so any input is a whole scenario.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
public:
    FuzzInput(const uint8_t* pData, size_t CountByte) : m_pData(pData), m_CountByte(CountByte) {}

    bool IsEmpty() const { return m_Position >= m_CountByte; }
    size_t RemainingGet() const { return IsEmpty() ? 0 : m_CountByte - m_Position; }

    // CountByte bytes into pTarget; missing bytes are zero.
    void BytesRead(void* pTarget, size_t CountByte) {
        const size_t Available = RemainingGet() < CountByte ? RemainingGet() : CountByte;
        if (Available > 0)
            std::memcpy(pTarget, m_pData + m_Position, Available);
        std::memset(static_cast<uint8_t*>(pTarget) + Available, 0, CountByte - Available);
        m_Position += Available;
    }
    uint8_t ByteRead() {
        uint8_t Value = 0;
        BytesRead(&Value, sizeof(Value));
        return Value;
    }
    uint32_t WordRead() {  // little-endian
        uint8_t Bytes[4];
        BytesRead(Bytes, sizeof(Bytes));
        return uint32_t(Bytes[0]) | uint32_t(Bytes[1]) << 8 | uint32_t(Bytes[2]) << 16 | uint32_t(Bytes[3]) << 24;
    }

private:
    const uint8_t* m_pData;
    size_t m_CountByte;
    size_t m_Position = 0;
};
