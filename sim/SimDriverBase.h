// What both simulated display drivers share: every request passes the fault
// plan, then the driver's own handler, and is recorded with the buffers the
// driver saw, its answer and a field-by-field decoding of its records.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "SimFaultPlan.h"
#include "SimRequestLog.h"
#include "platform/machine.h"

class SimDriverBase : public MachineDeviceDriver {
public:
    SimRequestLog& Requests() { return m_Requests; }
    SimFaultPlan& Faults() { return m_Faults; }

    DWORD DeviceFileControl(uint64_t FileId, DWORD IoControlCode, const void* pInput, DWORD CountByteInput,
                            void* pOutput, DWORD CountByteOutput, DWORD* pBytesReturned) final;
    void DeviceFileClose(uint64_t FileId) final;

    // The persist-on-close value a file set (0 until it sent one).
    uint32_t PersistOnCloseGet(uint64_t FileId) const;
    // Files opened and not yet closed.
    size_t FileOpenCount() const;
    DWORD DeviceFileOpen(uint64_t FileId) override;

protected:
    struct Buffers {
        uint64_t FileId;
        const uint8_t* pInput;
        DWORD CountByteInput;
        uint8_t* pOutput;
        DWORD CountByteOutput;
        DWORD* pBytesReturned;
    };

    // The driver's lock: the handlers and the scenario operations of the
    // driver run under it. It is never held while a request is delayed.
    std::mutex& LockGet() const { return m_Mutex; }

    // Called with the lock held.
    virtual DWORD PrivateRequest(DWORD Code, const Buffers& Request) = 0;
    virtual std::wstring PrivateDecode(DWORD Code, const SimRequest& Request) const = 0;
    virtual void PrivateFileClose(uint64_t FileId, uint32_t PersistOnClose) = 0;

    // The persist-on-close request, common to both drivers (lock held).
    DWORD PrivatePersistOnCloseSet(const Buffers& Request);
    // A 32-bit value under HKEY_LOCAL_MACHINE, as an installed driver has it.
    static bool PrivateRegistryDwordWrite(LPCWSTR lpKey, LPCWSTR lpValueName, DWORD dwValue);
    // A copy, owned by the driver, of a handle the caller passed in a record:
    // ERROR_INVALID_HANDLE when it names nothing.
    static DWORD PrivateHandleReference(uint64_t Value, HANDLE* phOwn);
    // A handle of the application's process (hTargetProcess) to the
    // driver's object hOwn.
    static DWORD PrivateHandleHandOut(HANDLE hOwn, HANDLE hTargetProcess, HANDLE* phHandedOut);
    static void PrivateHandleClose(HANDLE* phOwn);

private:
    mutable std::mutex m_Mutex;
    SimRequestLog m_Requests;
    SimFaultPlan m_Faults;
    std::map<uint64_t, uint32_t> m_FilePersist;  // open files and their persist-on-close value
};
