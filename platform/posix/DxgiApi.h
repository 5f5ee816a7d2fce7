// DXGI subset of the simulated platform: the factory that enumerates the
// machine's adapters and the adapters' descriptions (platform/machine.h sets
// the adapters). Values follow the DXGI documentation.
#pragma once

#include "D3DUnknown.h"

#define DXGI_ERROR_INVALID_CALL ((HRESULT)0x887A0001L)
#define DXGI_ERROR_NOT_FOUND ((HRESULT)0x887A0002L)
#define DXGI_ERROR_UNSUPPORTED ((HRESULT)0x887A0004L)
#define DXGI_ERROR_DEVICE_REMOVED ((HRESULT)0x887A0005L)
#define DXGI_ERROR_WAS_STILL_DRAWING ((HRESULT)0x887A000AL)

typedef enum DXGI_FORMAT {
    DXGI_FORMAT_UNKNOWN = 0,
    DXGI_FORMAT_R8G8B8A8_UNORM = 28,
    DXGI_FORMAT_B8G8R8A8_UNORM = 87,
    DXGI_FORMAT_B8G8R8X8_UNORM = 88,
} DXGI_FORMAT;

typedef struct DXGI_SAMPLE_DESC {
    UINT Count;
    UINT Quality;
} DXGI_SAMPLE_DESC;

typedef enum DXGI_ADAPTER_FLAG {
    DXGI_ADAPTER_FLAG_NONE = 0,
    DXGI_ADAPTER_FLAG_REMOTE = 1,
    DXGI_ADAPTER_FLAG_SOFTWARE = 2,
} DXGI_ADAPTER_FLAG;

typedef struct DXGI_ADAPTER_DESC1 {
    WCHAR Description[128];
    UINT VendorId;
    UINT DeviceId;
    UINT SubSysId;
    UINT Revision;
    SIZE_T DedicatedVideoMemory;
    SIZE_T DedicatedSystemMemory;
    SIZE_T SharedSystemMemory;
    LUID AdapterLuid;
    UINT Flags;
} DXGI_ADAPTER_DESC1;

NIMBO_D3D_INTERFACE_ID(IDXGIObject, 0xaec22fb8, 0x76f3, 0x4639, 0x9b, 0xe0, 0x28, 0xeb, 0x43, 0xa6, 0x7a, 0x2e);
NIMBO_D3D_INTERFACE_ID(IDXGIAdapter, 0x2411e7e1, 0x12ac, 0x4ccf, 0xbd, 0x14, 0x97, 0x98, 0xe8, 0x53, 0x4d, 0xc0);
NIMBO_D3D_INTERFACE_ID(IDXGIAdapter1, 0x29038f61, 0x3839, 0x4626, 0x91, 0xfd, 0x08, 0x68, 0x79, 0x01, 0x1a, 0x05);
NIMBO_D3D_INTERFACE_ID(IDXGIFactory, 0x7b7166ec, 0x21c7, 0x44ae, 0xb2, 0x1a, 0xc9, 0xae, 0x32, 0x1a, 0xe3, 0x69);
NIMBO_D3D_INTERFACE_ID(IDXGIFactory1, 0x770aae78, 0xf26f, 0x4dba, 0xa8, 0x29, 0x25, 0x3c, 0x83, 0xd1, 0xb3, 0x87);

struct IDXGIObject : public IUnknown {
protected:
    ~IDXGIObject() = default;
};

struct IDXGIAdapter : public IDXGIObject {
protected:
    ~IDXGIAdapter() = default;
};

struct IDXGIAdapter1 : public IDXGIAdapter {
    virtual HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_ADAPTER_DESC1* pDesc) = 0;

protected:
    ~IDXGIAdapter1() = default;
};

struct IDXGIFactory : public IDXGIObject {
    // Adapters of the machine in their order; DXGI_ERROR_NOT_FOUND past
    // the last one.
    virtual HRESULT STDMETHODCALLTYPE EnumAdapters(UINT Adapter, IDXGIAdapter** ppAdapter) = 0;

protected:
    ~IDXGIFactory() = default;
};

struct IDXGIFactory1 : public IDXGIFactory {
    virtual HRESULT STDMETHODCALLTYPE EnumAdapters1(UINT Adapter, IDXGIAdapter1** ppAdapter) = 0;
    // False once the machine's adapters changed after the factory was made.
    virtual BOOL STDMETHODCALLTYPE IsCurrent() = 0;

protected:
    ~IDXGIFactory1() = default;
};

// The factory takes its own snapshot of the machine's adapters.
HRESULT WINAPI CreateDXGIFactory1(REFIID riid, void** ppFactory);
