// D3D11CreateDevice of the simulated platform.
#include "D3D11Device.h"
#include "D3D11DeviceContext.h"
#include "D3DAdapterList.h"
#include "D3DFaultPlan.h"
#include "DxgiAdapter.h"

namespace {

// The first level of the list that the runtime supports, or the default
// list's first (11_0) when no list is given; 0 when none is supported.
D3D_FEATURE_LEVEL FeatureLevelChoose(const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels) {
    if (pFeatureLevels == nullptr || FeatureLevels == 0)
        return D3D_FEATURE_LEVEL_11_0;
    for (UINT i = 0; i < FeatureLevels; ++i)
        if (pFeatureLevels[i] >= D3D_FEATURE_LEVEL_9_1 && pFeatureLevels[i] <= D3D_FEATURE_LEVEL_11_1)
            return pFeatureLevels[i];
    return static_cast<D3D_FEATURE_LEVEL>(0);
}

// The adapter's LUID: the given adapter needs driver type UNKNOWN, no
// adapter needs HARDWARE (the machine's first adapter).
HRESULT AdapterLuidChoose(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, LUID* pLuid) {
    if (pAdapter != nullptr) {
        auto* pOwn = dynamic_cast<DxgiAdapter*>(pAdapter);
        if (DriverType != D3D_DRIVER_TYPE_UNKNOWN || pOwn == nullptr)
            return E_INVALIDARG;
        *pLuid = pOwn->LuidGet();
        return S_OK;
    }
    if (DriverType == D3D_DRIVER_TYPE_UNKNOWN)
        return E_INVALIDARG;
    if (DriverType != D3D_DRIVER_TYPE_HARDWARE)
        return DXGI_ERROR_UNSUPPORTED;
    const auto Adapters = D3DAdapterList::Instance().Get();
    if (Adapters.empty())
        return DXGI_ERROR_UNSUPPORTED;
    *pLuid = Adapters.front().AdapterLuid;
    return S_OK;
}

}  // namespace

HRESULT WINAPI D3D11CreateDevice(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE Software, UINT Flags,
                                 const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT SDKVersion,
                                 ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
                                 ID3D11DeviceContext** ppImmediateContext) {
    (void)Flags;
    if (ppDevice != nullptr)
        *ppDevice = nullptr;
    if (ppImmediateContext != nullptr)
        *ppImmediateContext = nullptr;
    if (SDKVersion != D3D11_SDK_VERSION || Software != nullptr || (pFeatureLevels == nullptr && FeatureLevels != 0))
        return E_INVALIDARG;
    LUID AdapterLuid{};
    HRESULT hr = AdapterLuidChoose(pAdapter, DriverType, &AdapterLuid);
    if (FAILED(hr))
        return hr;
    const D3D_FEATURE_LEVEL FeatureLevel = FeatureLevelChoose(pFeatureLevels, FeatureLevels);
    if (FeatureLevel == 0)
        return E_INVALIDARG;
    hr = D3DFaultPlan::Instance().Enter(MachineD3DCall::DeviceCreate);
    if (FAILED(hr))
        return hr;
    if (pFeatureLevel != nullptr)
        *pFeatureLevel = FeatureLevel;
    if (ppDevice == nullptr && ppImmediateContext == nullptr)
        return S_FALSE;  // parameters checked, nothing made
    D3D11DeviceContext* pContext = nullptr;
    D3D11Device* pDevice = D3D11Device::Create(AdapterLuid, FeatureLevel, &pContext);
    if (ppImmediateContext != nullptr)
        *ppImmediateContext = pContext;
    else
        pContext->Release();
    if (ppDevice != nullptr)
        *ppDevice = pDevice;
    else
        pDevice->Release();  // the caller keeps the context, which keeps the device's core
    return S_OK;
}
