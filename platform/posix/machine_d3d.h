// Machine API, graphics part: the adapters that DXGI enumerates, counts of
// the Direct3D objects alive (leak checks), the simulated GPU's pause, the
// waiters inside the immediate context, failures to inject, and the
// multimedia class scheduler's joins.
#pragma once

#include <string>
#include <vector>

#include "win32_base.h"

// --- adapters -------------------------------------------------------------------
struct MachineD3DAdapter {
    LUID AdapterLuid;
    std::wstring Description;
    UINT VendorId = 0;
    UINT DeviceId = 0;
};
// The adapters factories made from now on enumerate, in this order. The
// default set is a render adapter {0x0000D3D0, 0} and the indirect display
// adapter {0x0000ADA0, 0}.
void MachineD3DAdaptersSet(const std::vector<MachineD3DAdapter>& Adapters);
std::vector<MachineD3DAdapter> MachineD3DAdaptersGet();

// --- objects (leak checks) ------------------------------------------------------
// Objects with at least one reference, after the GPU has finished the work
// queued so far (queued copies hold references to their textures). Kinds:
// "Factory", "Adapter", "Device", "Context", "Texture2D" (made by
// CreateTexture2D) and "SharedTexture" (opened by OpenSharedResource1).
long MachineD3DObjectsLive();
long MachineD3DObjectsLiveOfKind(const char* pKind);

// --- the GPU ----------------------------------------------------------------------
// A paused GPU starts no further copy: Map of a texture with a copy queued
// waits until it resumes.
void MachineD3DGpuPausedSet(bool bPaused);
// Copies the GPU has completed since the machine started.
unsigned long long MachineD3DGpuCopiesCompleted();

// --- the immediate context ----------------------------------------------------------
// Threads inside Map waiting for a queued copy; threads waiting for the
// device lock of a multithread-protected context.
long MachineD3DMapWaitersBlocked();
long MachineD3DContextLockWaitersBlocked();
// Blocks until the count is at least Count or RealMilliseconds have passed;
// returns whether it was reached.
bool MachineD3DMapWaitersBlockedAwait(long Count, DWORD RealMilliseconds);
bool MachineD3DContextLockWaitersBlockedAwait(long Count, DWORD RealMilliseconds);
// Misuse the runtime does not catch but that corrupts frames on real
// hardware: two threads inside one unprotected immediate context at once, and
// a copy into a texture that is mapped (the copy is dropped).
long MachineD3DContextHazardCount();

// --- failures -------------------------------------------------------------------------
enum class MachineD3DCall {
    FactoryCreate,        // CreateDXGIFactory1
    AdapterDescGet,       // IDXGIAdapter1::GetDesc1
    DeviceCreate,         // D3D11CreateDevice
    MultithreadQuery,     // QueryInterface for ID3D11Multithread
    Device1Query,         // QueryInterface for ID3D11Device1
    TextureCreate,        // CreateTexture2D
    SharedResourceOpen,   // OpenSharedResource1
    Map,                  // ID3D11DeviceContext::Map
};
// The call of that kind after the next Skip ones fails with hr (once).
// MachineD3DAccessViolation instead makes that call read through a null
// pointer on the calling thread: a runtime that faults.
constexpr HRESULT MachineD3DAccessViolation = static_cast<HRESULT>(0xC0000005u);
void MachineD3DFailNext(MachineD3DCall Call, HRESULT hr, unsigned Skip = 0);

// --- multimedia class scheduler ----------------------------------------------------------
// Joins not yet reverted.
long MachineAvrtJoinsLive();
// While refused, every AvSetMmThreadCharacteristicsW fails with
// ERROR_ACCESS_DENIED, as it does when the scheduler service refuses.
void MachineAvrtRefusedSet(bool bRefused);

// --- reset ------------------------------------------------------------------------------
// Default adapters, no failures armed, GPU running, scheduler accepting.
// Objects still referenced stay alive.
void MachineD3DReset();
