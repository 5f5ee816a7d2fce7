#include "DxgiFactory.h"

#include "D3DAdapterList.h"
#include "D3DObjectCount.h"
#include "DxgiAdapter.h"

DxgiFactory::DxgiFactory()
    : m_Adapters(D3DAdapterList::Instance().Get()), m_Generation(D3DAdapterList::Instance().GenerationGet()) {}

DxgiFactory* DxgiFactory::Create() {
    auto* pFactory = new DxgiFactory();
    pFactory->AddRef();
    return pFactory;
}

HRESULT DxgiFactory::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr)
        return E_POINTER;
    if (riid == D3DInterfaceId<IUnknown>::Value || riid == D3DInterfaceId<IDXGIObject>::Value ||
        riid == D3DInterfaceId<IDXGIFactory>::Value || riid == D3DInterfaceId<IDXGIFactory1>::Value) {
        AddRef();
        *ppvObject = static_cast<IDXGIFactory1*>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG DxgiFactory::AddRef() {
    const ULONG References = m_References.fetch_add(1) + 1;
    if (References == 1)
        D3DObjectCount::Added(D3DObjectKind::Factory);
    return References;
}

ULONG DxgiFactory::Release() {
    const ULONG References = m_References.fetch_sub(1) - 1;
    if (References == 0) {
        D3DObjectCount::Removed(D3DObjectKind::Factory);
        delete this;
    }
    return References;
}

HRESULT DxgiFactory::EnumAdapters(UINT Adapter, IDXGIAdapter** ppAdapter) {
    IDXGIAdapter1* pAdapter1 = nullptr;
    const HRESULT hr = EnumAdapters1(Adapter, ppAdapter == nullptr ? nullptr : &pAdapter1);
    if (ppAdapter != nullptr)
        *ppAdapter = pAdapter1;
    return hr;
}

HRESULT DxgiFactory::EnumAdapters1(UINT Adapter, IDXGIAdapter1** ppAdapter) {
    if (ppAdapter == nullptr)
        return E_INVALIDARG;
    *ppAdapter = nullptr;
    if (Adapter >= m_Adapters.size())
        return DXGI_ERROR_NOT_FOUND;
    *ppAdapter = DxgiAdapter::Create(m_Adapters[Adapter]);
    return S_OK;
}

BOOL DxgiFactory::IsCurrent() { return m_Generation == D3DAdapterList::Instance().GenerationGet() ? TRUE : FALSE; }
