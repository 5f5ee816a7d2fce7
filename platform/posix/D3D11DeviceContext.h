// The immediate context of a simulated device, which is also its
// ID3D11Multithread. Copies go to the simulated GPU; Map waits for the copies
// queued into the texture. One reference count covers both interfaces.
#pragma once

#include <atomic>
#include <memory>

#include "D3D11Api.h"
#include "D3D11DeviceCore.h"

class D3D11Texture2D;

class D3D11DeviceContext final : public ID3D11DeviceContext, public ID3D11Multithread {
public:
    // With one reference.
    static D3D11DeviceContext* Create(std::shared_ptr<D3D11DeviceCore> pCore);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    void STDMETHODCALLTYPE CopySubresourceRegion(ID3D11Resource* pDstResource, UINT DstSubresource, UINT DstX,
                                                 UINT DstY, UINT DstZ, ID3D11Resource* pSrcResource,
                                                 UINT SrcSubresource, const D3D11_BOX* pSrcBox) override;
    HRESULT STDMETHODCALLTYPE Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                                  D3D11_MAPPED_SUBRESOURCE* pMappedResource) override;
    void STDMETHODCALLTYPE Unmap(ID3D11Resource* pResource, UINT Subresource) override;

    void STDMETHODCALLTYPE Enter() override;
    void STDMETHODCALLTYPE Leave() override;
    BOOL STDMETHODCALLTYPE SetMultithreadProtected(BOOL bMTProtect) override;
    BOOL STDMETHODCALLTYPE GetMultithreadProtected() override;

private:
    explicit D3D11DeviceContext(std::shared_ptr<D3D11DeviceCore> pCore) : m_pCore(std::move(pCore)) {}
    ~D3D11DeviceContext() = default;
    // The texture behind pResource when it belongs to this device.
    D3D11Texture2D* PrivateTextureOf(ID3D11Resource* pResource) const;
    static HRESULT PrivateMapCheck(const D3D11Texture2D& Texture, UINT Subresource, D3D11_MAP MapType, UINT MapFlags);

    std::atomic<ULONG> m_References{0};
    const std::shared_ptr<D3D11DeviceCore> m_pCore;
};
