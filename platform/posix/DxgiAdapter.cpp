#include "DxgiAdapter.h"

#include "D3DFaultPlan.h"
#include "D3DObjectCount.h"

DxgiAdapter::DxgiAdapter(const MachineD3DAdapter& Adapter) {
    const size_t Units = sizeof(m_Desc.Description) / sizeof(m_Desc.Description[0]);
    for (size_t i = 0; i + 1 < Units && i < Adapter.Description.size(); ++i)
        m_Desc.Description[i] = Adapter.Description[i];
    m_Desc.VendorId = Adapter.VendorId;
    m_Desc.DeviceId = Adapter.DeviceId;
    m_Desc.SharedSystemMemory = 512u * 1024u * 1024u;
    m_Desc.AdapterLuid = Adapter.AdapterLuid;
}

DxgiAdapter* DxgiAdapter::Create(const MachineD3DAdapter& Adapter) {
    auto* pAdapter = new DxgiAdapter(Adapter);
    pAdapter->AddRef();
    return pAdapter;
}

HRESULT DxgiAdapter::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr)
        return E_POINTER;
    if (riid == D3DInterfaceId<IUnknown>::Value || riid == D3DInterfaceId<IDXGIObject>::Value ||
        riid == D3DInterfaceId<IDXGIAdapter>::Value || riid == D3DInterfaceId<IDXGIAdapter1>::Value) {
        AddRef();
        *ppvObject = static_cast<IDXGIAdapter1*>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG DxgiAdapter::AddRef() {
    const ULONG References = m_References.fetch_add(1) + 1;
    if (References == 1)
        D3DObjectCount::Added(D3DObjectKind::Adapter);
    return References;
}

ULONG DxgiAdapter::Release() {
    const ULONG References = m_References.fetch_sub(1) - 1;
    if (References == 0) {
        D3DObjectCount::Removed(D3DObjectKind::Adapter);
        delete this;
    }
    return References;
}

HRESULT DxgiAdapter::GetDesc1(DXGI_ADAPTER_DESC1* pDesc) {
    if (pDesc == nullptr)
        return E_INVALIDARG;
    const HRESULT hr = D3DFaultPlan::Instance().Enter(MachineD3DCall::AdapterDescGet);
    if (FAILED(hr))
        return hr;
    *pDesc = m_Desc;
    return S_OK;
}
