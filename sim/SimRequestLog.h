// What a simulated driver received: one entry per request, in the order the
// requests completed, with the buffers as the driver saw them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
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

class SimRequestLog {
public:
    void Append(SimRequest Request);
    std::vector<SimRequest> List() const;
    std::vector<SimRequest> ListOfCode(DWORD Code) const;
    size_t CountOfCode(DWORD Code) const;
    size_t Count() const;
    // Waits until at least Count requests of Code completed; false after
    // dwMilliseconds (a safety limit, not a timing).
    bool WaitForCountOfCode(DWORD Code, size_t Count, DWORD dwMilliseconds) const;
    void Clear();

private:
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Changed;
    std::vector<SimRequest> m_Requests;
};
