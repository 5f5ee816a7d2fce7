// Direct3D 11 subset of the simulated platform, in CPU memory: devices on the
// machine's adapters, staging textures, textures that a driver shares by
// handle, and the immediate context's copy, map and unmap with multithread
// protection. Values follow the Direct3D 11 documentation.
//
// As on a real device, the copy runs asynchronously on the (one, simulated)
// GPU: CopySubresourceRegion queues it and returns; Map waits until every
// copy queued into that texture has completed (D3D11_MAP_FLAG_DO_NOT_WAIT:
// DXGI_ERROR_WAS_STILL_DRAWING instead). The immediate context is not
// thread-safe until SetMultithreadProtected(TRUE); then each context call
// holds the device's lock for its whole duration, a waiting Map included.
#pragma once

#include "D3DUnknown.h"
#include "DxgiApi.h"

#define D3D11_SDK_VERSION 7

typedef enum D3D_DRIVER_TYPE {
    D3D_DRIVER_TYPE_UNKNOWN = 0,
    D3D_DRIVER_TYPE_HARDWARE = 1,
    D3D_DRIVER_TYPE_REFERENCE = 2,
    D3D_DRIVER_TYPE_NULL = 3,
    D3D_DRIVER_TYPE_SOFTWARE = 4,
    D3D_DRIVER_TYPE_WARP = 5,
} D3D_DRIVER_TYPE;

typedef enum D3D_FEATURE_LEVEL {
    D3D_FEATURE_LEVEL_9_1 = 0x9100,
    D3D_FEATURE_LEVEL_9_2 = 0x9200,
    D3D_FEATURE_LEVEL_9_3 = 0x9300,
    D3D_FEATURE_LEVEL_10_0 = 0xa000,
    D3D_FEATURE_LEVEL_10_1 = 0xa100,
    D3D_FEATURE_LEVEL_11_0 = 0xb000,
    D3D_FEATURE_LEVEL_11_1 = 0xb100,
} D3D_FEATURE_LEVEL;

typedef enum D3D11_CREATE_DEVICE_FLAG {
    D3D11_CREATE_DEVICE_SINGLETHREADED = 0x1,
    D3D11_CREATE_DEVICE_DEBUG = 0x2,
    D3D11_CREATE_DEVICE_BGRA_SUPPORT = 0x20,
} D3D11_CREATE_DEVICE_FLAG;

typedef enum D3D11_USAGE {
    D3D11_USAGE_DEFAULT = 0,
    D3D11_USAGE_IMMUTABLE = 1,
    D3D11_USAGE_DYNAMIC = 2,
    D3D11_USAGE_STAGING = 3,
} D3D11_USAGE;

typedef enum D3D11_CPU_ACCESS_FLAG {
    D3D11_CPU_ACCESS_WRITE = 0x10000,
    D3D11_CPU_ACCESS_READ = 0x20000,
} D3D11_CPU_ACCESS_FLAG;

typedef enum D3D11_BIND_FLAG {
    D3D11_BIND_SHADER_RESOURCE = 0x8,
    D3D11_BIND_RENDER_TARGET = 0x20,
} D3D11_BIND_FLAG;

typedef enum D3D11_RESOURCE_MISC_FLAG {
    D3D11_RESOURCE_MISC_SHARED = 0x2,
    D3D11_RESOURCE_MISC_SHARED_KEYEDMUTEX = 0x100,
    D3D11_RESOURCE_MISC_SHARED_NTHANDLE = 0x800,
} D3D11_RESOURCE_MISC_FLAG;

typedef enum D3D11_MAP {
    D3D11_MAP_READ = 1,
    D3D11_MAP_WRITE = 2,
    D3D11_MAP_READ_WRITE = 3,
    D3D11_MAP_WRITE_DISCARD = 4,
    D3D11_MAP_WRITE_NO_OVERWRITE = 5,
} D3D11_MAP;

typedef enum D3D11_MAP_FLAG {
    D3D11_MAP_FLAG_DO_NOT_WAIT = 0x100000,
} D3D11_MAP_FLAG;

typedef enum D3D11_RESOURCE_DIMENSION {
    D3D11_RESOURCE_DIMENSION_UNKNOWN = 0,
    D3D11_RESOURCE_DIMENSION_BUFFER = 1,
    D3D11_RESOURCE_DIMENSION_TEXTURE1D = 2,
    D3D11_RESOURCE_DIMENSION_TEXTURE2D = 3,
    D3D11_RESOURCE_DIMENSION_TEXTURE3D = 4,
} D3D11_RESOURCE_DIMENSION;

typedef struct D3D11_TEXTURE2D_DESC {
    UINT Width;
    UINT Height;
    UINT MipLevels;
    UINT ArraySize;
    DXGI_FORMAT Format;
    DXGI_SAMPLE_DESC SampleDesc;
    D3D11_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
} D3D11_TEXTURE2D_DESC;

typedef struct D3D11_SUBRESOURCE_DATA {
    const void* pSysMem;
    UINT SysMemPitch;
    UINT SysMemSlicePitch;
} D3D11_SUBRESOURCE_DATA;

typedef struct D3D11_MAPPED_SUBRESOURCE {
    void* pData;
    UINT RowPitch;
    UINT DepthPitch;
} D3D11_MAPPED_SUBRESOURCE;

typedef struct D3D11_BOX {
    UINT left;
    UINT top;
    UINT front;
    UINT right;
    UINT bottom;
    UINT back;
} D3D11_BOX;

NIMBO_D3D_INTERFACE_ID(ID3D11DeviceChild, 0x1841e5c8, 0x16b0, 0x489b, 0xbc, 0xc8, 0x44, 0xcf, 0xb0, 0xd5, 0xde, 0xae);
NIMBO_D3D_INTERFACE_ID(ID3D11Resource, 0xdc8e63f3, 0xd12b, 0x4952, 0xb4, 0x7b, 0x5e, 0x45, 0x02, 0x6a, 0x86, 0x2d);
NIMBO_D3D_INTERFACE_ID(ID3D11Texture2D, 0x6f15aaf2, 0xd208, 0x4e89, 0x9a, 0xb4, 0x48, 0x95, 0x35, 0xd3, 0x4f, 0x9c);
NIMBO_D3D_INTERFACE_ID(ID3D11DeviceContext, 0xc0bfa96c, 0xe089, 0x44fb, 0x8e, 0xaf, 0x26, 0xf8, 0x79, 0x61, 0x90, 0xda);
NIMBO_D3D_INTERFACE_ID(ID3D11Multithread, 0x9b7e4e00, 0x342c, 0x4106, 0xa1, 0x9f, 0x4f, 0x27, 0x04, 0xf6, 0x89, 0xf0);
NIMBO_D3D_INTERFACE_ID(ID3D11Device, 0xdb6f6ddb, 0xac77, 0x4e88, 0x82, 0x53, 0x81, 0x9d, 0xf9, 0xbb, 0xf1, 0x40);
NIMBO_D3D_INTERFACE_ID(ID3D11Device1, 0xa04bfb29, 0x08ef, 0x43d6, 0xa4, 0x9c, 0xa9, 0xbd, 0xbd, 0xcb, 0xe6, 0x86);

struct ID3D11DeviceChild : public IUnknown {
protected:
    ~ID3D11DeviceChild() = default;
};

struct ID3D11Resource : public ID3D11DeviceChild {
    virtual void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) = 0;

protected:
    ~ID3D11Resource() = default;
};

struct ID3D11Texture2D : public ID3D11Resource {
    virtual void STDMETHODCALLTYPE GetDesc(D3D11_TEXTURE2D_DESC* pDesc) = 0;

protected:
    ~ID3D11Texture2D() = default;
};

struct ID3D11DeviceContext : public ID3D11DeviceChild {
    // Whole-subresource copies of textures of the same device (pSrcBox null),
    // or of the box given; the overlapping part is copied when the sizes
    // differ. Invalid calls are dropped, as the runtime drops them.
    virtual void STDMETHODCALLTYPE CopySubresourceRegion(ID3D11Resource* pDstResource, UINT DstSubresource,
                                                         UINT DstX, UINT DstY, UINT DstZ,
                                                         ID3D11Resource* pSrcResource, UINT SrcSubresource,
                                                         const D3D11_BOX* pSrcBox) = 0;
    virtual HRESULT STDMETHODCALLTYPE Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType,
                                          UINT MapFlags, D3D11_MAPPED_SUBRESOURCE* pMappedResource) = 0;
    virtual void STDMETHODCALLTYPE Unmap(ID3D11Resource* pResource, UINT Subresource) = 0;

protected:
    ~ID3D11DeviceContext() = default;
};

struct ID3D11Multithread : public IUnknown {
    virtual void STDMETHODCALLTYPE Enter() = 0;
    virtual void STDMETHODCALLTYPE Leave() = 0;
    // Returns the previous setting.
    virtual BOOL STDMETHODCALLTYPE SetMultithreadProtected(BOOL bMTProtect) = 0;
    virtual BOOL STDMETHODCALLTYPE GetMultithreadProtected() = 0;

protected:
    ~ID3D11Multithread() = default;
};

struct ID3D11Device : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc,
                                                      const D3D11_SUBRESOURCE_DATA* pInitialData,
                                                      ID3D11Texture2D** ppTexture2D) = 0;
    virtual void STDMETHODCALLTYPE GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) = 0;
    virtual D3D_FEATURE_LEVEL STDMETHODCALLTYPE GetFeatureLevel() = 0;

protected:
    ~ID3D11Device() = default;
};

struct ID3D11Device1 : public ID3D11Device {
    // Opens a resource shared through an NT handle (as a driver shares a
    // frame). The handle stays the caller's. A handle that names no shared
    // resource (closed, stale or of another kind) gives E_INVALIDARG, and so
    // does a resource that lives on another adapter.
    virtual HRESULT STDMETHODCALLTYPE OpenSharedResource1(HANDLE hResource, REFIID returnedInterface,
                                                          void** ppResource) = 0;

protected:
    ~ID3D11Device1() = default;
};

HRESULT WINAPI D3D11CreateDevice(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE Software, UINT Flags,
                                 const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT SDKVersion,
                                 ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
                                 ID3D11DeviceContext** ppImmediateContext);
