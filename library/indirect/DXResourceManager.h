#pragma once

#include "indirect/DXDevice.h"
#include "indirect/ScreenUpdateResource.h"

// The texture work of the swap-chain resource thread on one device: creates
// an entry's staging texture, copies a driver's shared frame into it, maps
// and unmaps it for reading, and releases it. Calling order: Initialize,
// CreateResourceInSystemMemory per entry, then copies (producer) and
// map/unmap pairs (consumer) from two threads, ResourceRelease per entry,
// Shutdown. No lock of its own: the context's multithread protection
// serialises the two threads' calls.
class DXResourceManager {
public:
    DXResourceManager();
    ~DXResourceManager();
    DXResourceManager(const DXResourceManager&) = delete;
    DXResourceManager& operator=(const DXResourceManager&) = delete;

    bool Initialize(LUID LuidAdapter);
    bool CreateResourceInSystemMemory(ScreenUpdateResource* pEntry);
    // The handle stays the caller's.
    HRESULT CopyFromSharedResource(ScreenUpdateResource* pEntry, HANDLE hResourceShared);
    bool ResourceMap(ScreenUpdateResource* pEntry);
    void ResourceUnmap(ScreenUpdateResource* pEntry);
    // Releases the staging texture and clears the whole entry (the shared
    // handle's value included; the handle is not closed here).
    void ResourceRelease(ScreenUpdateResource* pEntry);
    void Shutdown();

    const DXDevice& DeviceGet() const { return m_DXDevice; }

private:
    DXDevice m_DXDevice;
};
