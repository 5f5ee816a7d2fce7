// One request as a simulated driver received it: code, buffers as the
// driver saw them, its answer and a decoding of its records.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"

struct SimRequest {
    uint64_t FileId = 0;
    DWORD Code = 0;
    DWORD CountByteInput = 0;
    DWORD CountByteOutput = 0;
    bool bInputPresent = false;
    bool bOutputPresent = false;
    std::vector<uint8_t> Input;           // as received
    std::vector<uint8_t> Output;          // the output buffer as received (records travel in it)
    std::vector<uint8_t> OutputReturned;  // the output buffer as the driver left it
    DWORD Error = ERROR_SUCCESS;          // the driver's answer
    DWORD BytesReturned = 0;
    std::wstring Decoded;                 // the record(s), field by field

    // The first bytes of a buffer as a record; missing bytes read as zero.
    template <typename T>
    T InputAs() const { return PrivateAs<T>(Input); }
    template <typename T>
    T OutputAs() const { return PrivateAs<T>(Output); }
    template <typename T>
    T OutputReturnedAs() const { return PrivateAs<T>(OutputReturned); }

private:
    template <typename T>
    static T PrivateAs(const std::vector<uint8_t>& Bytes) {
        T Record{};
        if (!Bytes.empty())
            std::memcpy(&Record, Bytes.data(), Bytes.size() < sizeof(T) ? Bytes.size() : sizeof(T));
        return Record;
    }
};
