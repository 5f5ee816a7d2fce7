#include "indirect/DXDevice.h"

#include <cstring>

#include "support/ALDebugLog.h"

DXDevice::DXDevice() : m_pD3dDevice(nullptr), m_pD3dContext(nullptr), m_pD3dMultithread(nullptr) {}

DXDevice::~DXDevice() {}

bool DXDevice::PrivateAdapterFind(IDXGIFactory1* pFactory, const LUID& LuidAdapter, IDXGIAdapter1** ppAdapter) {
    *ppAdapter = nullptr;
    for (UINT Index = 0;; ++Index) {
        IDXGIAdapter1* pAdapter = nullptr;
        if (FAILED(pFactory->EnumAdapters1(Index, &pAdapter)))  // DXGI_ERROR_NOT_FOUND past the last
            return true;
        DXGI_ADAPTER_DESC1 Desc;
        const HRESULT hr = pAdapter->GetDesc1(&Desc);
        if (FAILED(hr)) {
            ALDebugPrint(AL_DEBUG_ERROR, L"DXDevice::Initialize GetDesc1 failed! 0x%x\n", static_cast<unsigned>(hr));
            pAdapter->Release();
            return false;
        }
        if (std::memcmp(&Desc.AdapterLuid, &LuidAdapter, sizeof(LUID)) == 0) {
            *ppAdapter = pAdapter;
            return true;
        }
        pAdapter->Release();
    }
}

bool DXDevice::Initialize(LUID LuidAdapter) {
    IDXGIFactory1* pFactory = nullptr;
    HRESULT hr = CreateDXGIFactory1(IID_PPV_ARGS(&pFactory));
    if (FAILED(hr)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXDevice::Initialize CreateDXGIFactory2 failed! 0x%x\n",
                     static_cast<unsigned>(hr));
        return false;
    }
    IDXGIAdapter1* pAdapter = nullptr;
    const bool bSearched = PrivateAdapterFind(pFactory, LuidAdapter, &pAdapter);
    pFactory->Release();
    if (!bSearched)
        return false;
    if (pAdapter == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXDevice::Initialize Adapter not found!");
        return false;
    }
    hr = D3D11CreateDevice(pAdapter, D3D_DRIVER_TYPE_UNKNOWN, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT, nullptr, 0,
                           D3D11_SDK_VERSION, &m_pD3dDevice, nullptr, &m_pD3dContext);
    pAdapter->Release();
    if (FAILED(hr)) {
        ALDebugPrint(AL_DEBUG_ERROR, L" DXDevice::Initialize D3D11CreateDevice failed! 0x%x",
                     static_cast<unsigned>(hr));
        return false;
    }
    hr = m_pD3dContext->QueryInterface(IID_PPV_ARGS(&m_pD3dMultithread));
    if (FAILED(hr)) {
        ALDebugPrint(AL_DEBUG_ERROR, L" DXDevice::Initialize m_pD3dContext->QueryInterface failed! 0x%x",
                     static_cast<unsigned>(hr));
        m_pD3dMultithread = nullptr;
        return false;
    }
    m_pD3dMultithread->SetMultithreadProtected(TRUE);
    return true;
}

ID3D11Device1* DXDevice::Device1Query() {
    ID3D11Device1* pDevice1 = nullptr;
    const HRESULT hr = m_pD3dDevice->QueryInterface(IID_PPV_ARGS(&pDevice1));
    if (FAILED(hr)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXDevice::Device1Query QueryInterface failed! 0x%x\n",
                     static_cast<unsigned>(hr));
        return nullptr;
    }
    return pDevice1;
}

void DXDevice::Shutdown() {
    if (m_pD3dMultithread != nullptr) {
        m_pD3dMultithread->Release();
        m_pD3dMultithread = nullptr;
    }
    if (m_pD3dDevice != nullptr) {
        m_pD3dDevice->Release();
        m_pD3dDevice = nullptr;
    }
    if (m_pD3dContext != nullptr) {
        m_pD3dContext->Release();
        m_pD3dContext = nullptr;
    }
}
