#include "D3D11DeviceContext.h"

#include <algorithm>

#include "D3D11Texture2D.h"
#include "D3DFaultPlan.h"
#include "D3DGpu.h"
#include "D3DObjectCount.h"
#include "D3DWaiterCount.h"

D3D11DeviceContext* D3D11DeviceContext::Create(std::shared_ptr<D3D11DeviceCore> pCore) {
    auto* pContext = new D3D11DeviceContext(std::move(pCore));
    pContext->AddRef();
    return pContext;
}

HRESULT D3D11DeviceContext::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr)
        return E_POINTER;
    *ppvObject = nullptr;
    if (riid == D3DInterfaceId<IUnknown>::Value || riid == D3DInterfaceId<ID3D11DeviceChild>::Value ||
        riid == D3DInterfaceId<ID3D11DeviceContext>::Value) {
        AddRef();
        *ppvObject = static_cast<ID3D11DeviceContext*>(this);
        return S_OK;
    }
    if (riid == D3DInterfaceId<ID3D11Multithread>::Value) {
        const HRESULT hr = D3DFaultPlan::Instance().Enter(MachineD3DCall::MultithreadQuery);
        if (FAILED(hr))
            return hr;
        AddRef();
        *ppvObject = static_cast<ID3D11Multithread*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG D3D11DeviceContext::AddRef() {
    const ULONG References = m_References.fetch_add(1) + 1;
    if (References == 1)
        D3DObjectCount::Added(D3DObjectKind::Context);
    return References;
}

ULONG D3D11DeviceContext::Release() {
    const ULONG References = m_References.fetch_sub(1) - 1;
    if (References == 0) {
        D3DObjectCount::Removed(D3DObjectKind::Context);
        delete this;
    }
    return References;
}

D3D11Texture2D* D3D11DeviceContext::PrivateTextureOf(ID3D11Resource* pResource) const {
    auto* pTexture = dynamic_cast<D3D11Texture2D*>(pResource);
    return pTexture != nullptr && pTexture->CoreGet() == m_pCore.get() ? pTexture : nullptr;
}

void D3D11DeviceContext::CopySubresourceRegion(ID3D11Resource* pDstResource, UINT DstSubresource, UINT DstX,
                                               UINT DstY, UINT DstZ, ID3D11Resource* pSrcResource,
                                               UINT SrcSubresource, const D3D11_BOX* pSrcBox) {
    D3D11DeviceCore::ContextCall Call(*m_pCore);
    D3D11Texture2D* pDestination = PrivateTextureOf(pDstResource);
    D3D11Texture2D* pSource = PrivateTextureOf(pSrcResource);
    // Calls the runtime drops: foreign or identical resources, other
    // subresources, mismatched formats, a box outside the source.
    if (pDestination == nullptr || pSource == nullptr || pDestination == pSource || DstSubresource != 0 ||
        SrcSubresource != 0 || DstZ != 0)
        return;
    const D3D11_TEXTURE2D_DESC& To = pDestination->DescGet();
    const D3D11_TEXTURE2D_DESC& From = pSource->DescGet();
    if (To.Format != From.Format || To.Usage == D3D11_USAGE_IMMUTABLE)
        return;
    D3D11_BOX Box{0, 0, 0, From.Width, From.Height, 1};
    if (pSrcBox != nullptr)
        Box = *pSrcBox;
    if (Box.left >= Box.right || Box.top >= Box.bottom || Box.right > From.Width || Box.bottom > From.Height ||
        DstX >= To.Width || DstY >= To.Height)
        return;
    if (pDestination->MappedIs()) {
        // The GPU would write memory that the CPU is reading.
        D3D11DeviceCore::HazardCounted();
        return;
    }
    D3DGpu::Region Area{Box.left, Box.top, std::min(Box.right - Box.left, To.Width - DstX),
                        std::min(Box.bottom - Box.top, To.Height - DstY), DstX, DstY};
    pDestination->WriteFenceSet(D3DGpu::Instance().CopyQueue(pDestination, pSource, Area));
}

HRESULT D3D11DeviceContext::PrivateMapCheck(const D3D11Texture2D& Texture, UINT Subresource, D3D11_MAP MapType,
                                            UINT MapFlags) {
    const D3D11_TEXTURE2D_DESC& Desc = Texture.DescGet();
    if (Subresource != 0 || Desc.Usage != D3D11_USAGE_STAGING || (MapFlags & ~D3D11_MAP_FLAG_DO_NOT_WAIT) != 0)
        return E_INVALIDARG;
    const bool bRead = MapType == D3D11_MAP_READ || MapType == D3D11_MAP_READ_WRITE;
    const bool bWrite = MapType == D3D11_MAP_WRITE || MapType == D3D11_MAP_READ_WRITE;
    if ((!bRead && !bWrite) || (bRead && !(Desc.CPUAccessFlags & D3D11_CPU_ACCESS_READ)) ||
        (bWrite && !(Desc.CPUAccessFlags & D3D11_CPU_ACCESS_WRITE)))
        return E_INVALIDARG;
    return S_OK;
}

HRESULT D3D11DeviceContext::Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                                D3D11_MAPPED_SUBRESOURCE* pMappedResource) {
    D3D11DeviceCore::ContextCall Call(*m_pCore);
    D3D11Texture2D* pTexture = PrivateTextureOf(pResource);
    if (pTexture == nullptr || pMappedResource == nullptr)
        return E_INVALIDARG;
    HRESULT hr = PrivateMapCheck(*pTexture, Subresource, MapType, MapFlags);
    if (FAILED(hr))
        return hr;
    hr = D3DFaultPlan::Instance().Enter(MachineD3DCall::Map);
    if (FAILED(hr))
        return hr;
    if (pTexture->MappedIs())
        return DXGI_ERROR_INVALID_CALL;
    D3DGpu& Gpu = D3DGpu::Instance();
    const uint64_t Fence = pTexture->WriteFenceGet();
    if (!Gpu.FenceReached(Fence)) {
        if (MapFlags & D3D11_MAP_FLAG_DO_NOT_WAIT)
            return DXGI_ERROR_WAS_STILL_DRAWING;
        D3DWaiterCount::Instance().Blocked(D3DWaiterCount::Kind::Map);
        Gpu.FenceAwait(Fence);
        D3DWaiterCount::Instance().Unblocked(D3DWaiterCount::Kind::Map);
    }
    pTexture->MappedExchange(true);
    pMappedResource->pData = pTexture->PixelsGet();
    pMappedResource->RowPitch = pTexture->PitchGet();
    pMappedResource->DepthPitch = pTexture->PitchGet() * pTexture->DescGet().Height;
    return S_OK;
}

void D3D11DeviceContext::Unmap(ID3D11Resource* pResource, UINT Subresource) {
    D3D11DeviceCore::ContextCall Call(*m_pCore);
    D3D11Texture2D* pTexture = PrivateTextureOf(pResource);
    if (pTexture != nullptr && Subresource == 0)
        pTexture->MappedExchange(false);
}

void D3D11DeviceContext::Enter() { m_pCore->Enter(); }

void D3D11DeviceContext::Leave() { m_pCore->Leave(); }

BOOL D3D11DeviceContext::SetMultithreadProtected(BOOL bMTProtect) { return m_pCore->ProtectedSet(bMTProtect); }

BOOL D3D11DeviceContext::GetMultithreadProtected() { return m_pCore->ProtectedGet(); }
