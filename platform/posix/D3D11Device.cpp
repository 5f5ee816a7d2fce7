#include "D3D11Device.h"

#include "D3D11DeviceContext.h"
#include "D3D11Texture2D.h"
#include "D3DFaultPlan.h"
#include "D3DObjectCount.h"
#include "machine_device.h"

namespace {

bool LuidEqual(const LUID& A, const LUID& B) { return A.LowPart == B.LowPart && A.HighPart == B.HighPart; }

}  // namespace

D3D11Device::D3D11Device(std::shared_ptr<D3D11DeviceCore> pCore, D3D_FEATURE_LEVEL FeatureLevel)
    : m_pCore(std::move(pCore)), m_FeatureLevel(FeatureLevel) {}

D3D11Device::~D3D11Device() {
    if (m_pContext != nullptr)
        m_pContext->Release();
}

D3D11Device* D3D11Device::Create(const LUID& AdapterLuid, D3D_FEATURE_LEVEL FeatureLevel,
                                 D3D11DeviceContext** ppContext) {
    auto pCore = std::make_shared<D3D11DeviceCore>(AdapterLuid);
    auto* pDevice = new D3D11Device(pCore, FeatureLevel);
    pDevice->m_pContext = D3D11DeviceContext::Create(std::move(pCore));
    pDevice->AddRef();
    if (ppContext != nullptr) {
        pDevice->m_pContext->AddRef();
        *ppContext = pDevice->m_pContext;
    }
    return pDevice;
}

HRESULT D3D11Device::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr)
        return E_POINTER;
    *ppvObject = nullptr;
    if (riid == D3DInterfaceId<IUnknown>::Value || riid == D3DInterfaceId<ID3D11Device>::Value) {
        AddRef();
        *ppvObject = static_cast<ID3D11Device1*>(this);
        return S_OK;
    }
    if (riid == D3DInterfaceId<ID3D11Device1>::Value) {
        const HRESULT hr = D3DFaultPlan::Instance().Enter(MachineD3DCall::Device1Query);
        if (FAILED(hr))
            return hr;
        AddRef();
        *ppvObject = static_cast<ID3D11Device1*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG D3D11Device::AddRef() {
    const ULONG References = m_References.fetch_add(1) + 1;
    if (References == 1)
        D3DObjectCount::Added(D3DObjectKind::Device);
    return References;
}

ULONG D3D11Device::Release() {
    const ULONG References = m_References.fetch_sub(1) - 1;
    if (References == 0) {
        D3DObjectCount::Removed(D3DObjectKind::Device);
        delete this;
    }
    return References;
}

HRESULT D3D11Device::CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                                     ID3D11Texture2D** ppTexture2D) {
    if (pDesc == nullptr || !D3D11Texture2D::DescIsValid(*pDesc))
        return E_INVALIDARG;
    if (ppTexture2D == nullptr)
        return S_FALSE;  // parameters checked, nothing made
    *ppTexture2D = nullptr;
    const HRESULT hr = D3DFaultPlan::Instance().Enter(MachineD3DCall::TextureCreate);
    if (FAILED(hr))
        return hr;
    *ppTexture2D = D3D11Texture2D::Create(m_pCore, *pDesc, pInitialData);
    return S_OK;
}

void D3D11Device::GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) {
    if (ppImmediateContext == nullptr)
        return;
    m_pContext->AddRef();
    *ppImmediateContext = m_pContext;
}

D3D_FEATURE_LEVEL D3D11Device::GetFeatureLevel() { return m_FeatureLevel; }

HRESULT D3D11Device::OpenSharedResource1(HANDLE hResource, REFIID returnedInterface, void** ppResource) {
    if (ppResource == nullptr)
        return E_INVALIDARG;
    *ppResource = nullptr;
    const HRESULT hr = D3DFaultPlan::Instance().Enter(MachineD3DCall::SharedResourceOpen);
    if (FAILED(hr))
        return hr;
    auto pShared = std::dynamic_pointer_cast<MachineSharedTexture>(MachineSharedResourceFromHandle(hResource));
    if (pShared == nullptr || !LuidEqual(pShared->AdapterLuid, m_pCore->AdapterLuidGet()))
        return E_INVALIDARG;
    if (!(returnedInterface == D3DInterfaceId<IUnknown>::Value ||
          returnedInterface == D3DInterfaceId<ID3D11Resource>::Value ||
          returnedInterface == D3DInterfaceId<ID3D11Texture2D>::Value))
        return E_NOINTERFACE;
    *ppResource = static_cast<ID3D11Texture2D*>(D3D11Texture2D::Open(m_pCore, std::move(pShared)));
    return S_OK;
}
