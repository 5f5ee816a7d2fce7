#include "D3D11Texture2D.h"

#include <algorithm>
#include <cstring>

#include "D3D11TexturePool.h"
#include "D3DObjectCount.h"

namespace {

constexpr UINT kBytesPerPixel = 4;
constexpr UINT kPitchAlignment = 256;  // rows of real staging textures are padded too
constexpr UINT kMaximumExtent = 16384;

bool FormatIsKnown(DXGI_FORMAT Format) {
    return Format == DXGI_FORMAT_B8G8R8A8_UNORM || Format == DXGI_FORMAT_B8G8R8X8_UNORM ||
           Format == DXGI_FORMAT_R8G8B8A8_UNORM;
}

}  // namespace

bool D3D11Texture2D::DescIsValid(const D3D11_TEXTURE2D_DESC& Desc) {
    if (Desc.Width == 0 || Desc.Height == 0 || Desc.Width > kMaximumExtent || Desc.Height > kMaximumExtent)
        return false;
    if (Desc.MipLevels != 1 || Desc.ArraySize != 1 || Desc.SampleDesc.Count != 1 || Desc.SampleDesc.Quality != 0)
        return false;
    if (!FormatIsKnown(Desc.Format))
        return false;
    const UINT CpuAccess = Desc.CPUAccessFlags;
    if ((CpuAccess & ~(D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE)) != 0)
        return false;
    switch (Desc.Usage) {
    case D3D11_USAGE_STAGING:
        return Desc.BindFlags == 0 && CpuAccess != 0;
    case D3D11_USAGE_DEFAULT:
        return CpuAccess == 0;
    default:
        return false;  // dynamic and immutable textures are not part of the subset
    }
}

D3D11Texture2D* D3D11Texture2D::Create(std::shared_ptr<D3D11DeviceCore> pCore, const D3D11_TEXTURE2D_DESC& Desc,
                                       const D3D11_SUBRESOURCE_DATA* pInitialData) {
    auto* pTexture = new D3D11Texture2D();
    pTexture->m_pCore = std::move(pCore);
    pTexture->m_Desc = Desc;
    pTexture->m_Pitch = (Desc.Width * kBytesPerPixel + kPitchAlignment - 1) / kPitchAlignment * kPitchAlignment;
    pTexture->m_OwnPixels.assign(static_cast<size_t>(pTexture->m_Pitch) * Desc.Height, 0);
    pTexture->m_pPixels = pTexture->m_OwnPixels.data();
    pTexture->m_pPixelLock = &pTexture->m_OwnPixelLock;
    if (pInitialData != nullptr && pInitialData->pSysMem != nullptr) {
        const auto* pFrom = static_cast<const uint8_t*>(pInitialData->pSysMem);
        const size_t RowBytes = static_cast<size_t>(Desc.Width) * kBytesPerPixel;
        for (UINT Row = 0; Row < Desc.Height; ++Row)
            std::memcpy(pTexture->m_pPixels + static_cast<size_t>(Row) * pTexture->m_Pitch,
                        pFrom + static_cast<size_t>(Row) * pInitialData->SysMemPitch, RowBytes);
    }
    pTexture->AddRef();
    return pTexture;
}

D3D11Texture2D* D3D11Texture2D::Open(std::shared_ptr<D3D11DeviceCore> pCore,
                                     std::shared_ptr<MachineSharedTexture> pShared) {
    D3D11Texture2D* pTexture = D3D11TexturePool::Instance().Take();
    if (pTexture == nullptr)
        pTexture = new D3D11Texture2D();
    pTexture->m_pCore = std::move(pCore);
    D3D11_TEXTURE2D_DESC Desc{};
    Desc.Width = pShared->Width;
    Desc.Height = pShared->Height;
    Desc.MipLevels = 1;
    Desc.ArraySize = 1;
    Desc.Format = static_cast<DXGI_FORMAT>(pShared->Format);
    Desc.SampleDesc.Count = 1;
    Desc.Usage = D3D11_USAGE_DEFAULT;
    Desc.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
    Desc.MiscFlags = D3D11_RESOURCE_MISC_SHARED | D3D11_RESOURCE_MISC_SHARED_NTHANDLE;
    pTexture->m_Desc = Desc;
    pTexture->m_Pitch = pShared->Pitch;
    pTexture->m_pPixels = pShared->Pixels.data();
    pTexture->m_pPixelLock = &pShared->Lock;
    pTexture->m_pShared = std::move(pShared);
    pTexture->m_bMapped.store(false);
    pTexture->m_WriteFence.store(0);
    pTexture->AddRef();
    return pTexture;
}

D3DObjectKind D3D11Texture2D::PrivateKind() const {
    return m_pShared != nullptr ? D3DObjectKind::SharedTexture : D3DObjectKind::Texture2D;
}

HRESULT D3D11Texture2D::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr)
        return E_POINTER;
    if (riid == D3DInterfaceId<IUnknown>::Value || riid == D3DInterfaceId<ID3D11DeviceChild>::Value ||
        riid == D3DInterfaceId<ID3D11Resource>::Value || riid == D3DInterfaceId<ID3D11Texture2D>::Value) {
        AddRef();
        *ppvObject = static_cast<ID3D11Texture2D*>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG D3D11Texture2D::AddRef() {
    const ULONG References = m_References.fetch_add(1) + 1;
    if (References == 1)
        D3DObjectCount::Added(PrivateKind());
    return References;
}

ULONG D3D11Texture2D::Release() {
    const ULONG References = m_References.fetch_sub(1) - 1;
    if (References != 0)
        return References;
    D3DObjectCount::Removed(PrivateKind());
    if (m_pShared != nullptr)
        PrivateReturn();
    else
        delete this;
    return 0;
}

void D3D11Texture2D::PrivateReturn() {
    // The driver sees its texture free again once the last opener let go.
    m_pShared.reset();
    m_pPixels = nullptr;
    m_pPixelLock = nullptr;
    m_pCore.reset();
    if (!D3D11TexturePool::Instance().Give(this))
        delete this;
}

void D3D11Texture2D::GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) {
    if (pResourceDimension != nullptr)
        *pResourceDimension = D3D11_RESOURCE_DIMENSION_TEXTURE2D;
}

void D3D11Texture2D::GetDesc(D3D11_TEXTURE2D_DESC* pDesc) {
    if (pDesc != nullptr)
        *pDesc = m_Desc;
}
