// Conversions between the platform's handles and addresses and the 64-bit
// fields of the records exchanged with the display drivers. The records keep
// 8-byte handles and addresses on every build, x86 included.
#pragma once

#include <cstdint>

#include "platform/win32.h"

class ALRecordField {
public:
    // Handles widen by sign extension, as a 32-bit process's handles do
    // (INVALID_HANDLE_VALUE stays all ones).
    static uint64_t HandleTo(HANDLE hHandle) {
        return static_cast<uint64_t>(static_cast<int64_t>(reinterpret_cast<intptr_t>(hHandle)));
    }
    static HANDLE HandleFrom(uint64_t Value) {
        return reinterpret_cast<HANDLE>(static_cast<intptr_t>(static_cast<int64_t>(Value)));
    }
    // Addresses widen by zero extension.
    static uint64_t AddressTo(const void* pAddress) {
        return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pAddress));
    }
    static void* AddressFrom(uint64_t Value) {
        return reinterpret_cast<void*>(static_cast<uintptr_t>(Value));
    }
};
