// CreateDXGIFactory1 of the simulated platform.
#include "D3DFaultPlan.h"
#include "DxgiFactory.h"

HRESULT WINAPI CreateDXGIFactory1(REFIID riid, void** ppFactory) {
    if (ppFactory == nullptr)
        return E_INVALIDARG;
    *ppFactory = nullptr;
    const HRESULT hr = D3DFaultPlan::Instance().Enter(MachineD3DCall::FactoryCreate);
    if (FAILED(hr))
        return hr;
    DxgiFactory* pFactory = DxgiFactory::Create();
    const HRESULT hrQuery = pFactory->QueryInterface(riid, ppFactory);
    pFactory->Release();
    return hrQuery;
}
