#include "indirect/DXResourceManager.h"

#include <cstring>

#include "indirect/DXInterfaceHold.h"
#include "support/ALDebugLog.h"

DXResourceManager::DXResourceManager() {}

DXResourceManager::~DXResourceManager() {}

bool DXResourceManager::Initialize(LUID LuidAdapter) {
    const bool bInitialized = m_DXDevice.Initialize(LuidAdapter);
    if (!bInitialized)
        ALDebugPrint(AL_DEBUG_ERROR, L"DXResourceManager::Initialize m_DXDevice.Initialize failed!\n");
    return bInitialized;
}

bool DXResourceManager::CreateResourceInSystemMemory(ScreenUpdateResource* pEntry) {
    D3D11_TEXTURE2D_DESC Tex2dDesc;
    std::memset(&Tex2dDesc, 0, sizeof(Tex2dDesc));
    Tex2dDesc.Width = pEntry->Width;
    Tex2dDesc.Height = pEntry->Height;
    Tex2dDesc.MipLevels = 1;
    Tex2dDesc.ArraySize = 1;
    Tex2dDesc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    Tex2dDesc.SampleDesc.Count = 1;
    Tex2dDesc.SampleDesc.Quality = 0;
    Tex2dDesc.Usage = D3D11_USAGE_STAGING;
    Tex2dDesc.BindFlags = 0;
    Tex2dDesc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    Tex2dDesc.MiscFlags = 0;

    ID3D11Device1* pDevice1 = m_DXDevice.Device1Query();
    if (pDevice1 == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR,
                     L"DXResourceManager::CreateResourceInSystemMemory m_DXDevice.Device1Query failed!\n");
        return false;
    }
    const HRESULT hr = pDevice1->CreateTexture2D(&Tex2dDesc, nullptr, &pEntry->pResourceSystemMemory);
    if (FAILED(hr))
        ALDebugPrint(AL_DEBUG_ERROR, L"DXResourceManager::CreateResourceInSystemMemory CreateTexture2D failed! 0x%x\n",
                     static_cast<unsigned>(hr));
    pDevice1->Release();
    return SUCCEEDED(hr);
}

HRESULT DXResourceManager::CopyFromSharedResource(ScreenUpdateResource* pEntry, HANDLE hResourceShared) {
    if (m_DXDevice.D3dDeviceGet() == nullptr || pEntry->pResourceSystemMemory == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXResourceManager::CopyFromSharedResource failed! Invalid parameters\n");
        return E_FAIL;
    }
    // Runs inside the copy's exception guard: a fault must not cost a reference.
    DXInterfaceHold<ID3D11Device1> Device1(m_DXDevice.Device1Query());
    if (Device1.Get() == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXResourceManager::CopyFromSharedResource m_DXDevice.Device1Query failed!\n");
        return E_FAIL;
    }
    ID3D11Texture2D* pResource = nullptr;
    const HRESULT hr = Device1.Get()->OpenSharedResource1(hResourceShared, IID_PPV_ARGS(&pResource));
    DXInterfaceHold<ID3D11Texture2D> Resource(SUCCEEDED(hr) ? pResource : nullptr);
    Device1.Release();
    if (FAILED(hr)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXResourceManager::CopyFromSharedResource OpenSharedResource1 failed! 0x%x\n",
                     static_cast<unsigned>(hr));
        return hr;
    }
    // The whole frame, whatever its changed area.
    m_DXDevice.D3dContextGet()->CopySubresourceRegion(pEntry->pResourceSystemMemory, 0, 0, 0, 0, Resource.Get(), 0,
                                                      nullptr);
    Resource.Release();
    return S_OK;
}

bool DXResourceManager::ResourceMap(ScreenUpdateResource* pEntry) {
    ID3D11DeviceContext* pContext = m_DXDevice.D3dContextGet();
    if (pContext == nullptr || pEntry->pResourceSystemMemory == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXResourceManager::ResourceMap failed! Invalid parameters\n");
        return false;
    }
    // Flags 0: waits until the copy into the texture has finished.
    D3D11_MAPPED_SUBRESOURCE MappedResource;
    const HRESULT hr = pContext->Map(pEntry->pResourceSystemMemory, 0, D3D11_MAP_READ, 0, &MappedResource);
    if (FAILED(hr)) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXResourceManager::ResourceMap Map failed! 0x%x\n", static_cast<unsigned>(hr));
        return false;
    }
    pEntry->pData = MappedResource.pData;
    pEntry->RowPitch = MappedResource.RowPitch;
    return true;
}

void DXResourceManager::ResourceUnmap(ScreenUpdateResource* pEntry) {
    ID3D11DeviceContext* pContext = m_DXDevice.D3dContextGet();
    if (pContext == nullptr || pEntry->pResourceSystemMemory == nullptr) {
        ALDebugPrint(AL_DEBUG_ERROR, L"DXResourceManager::ResourceUnmap failed! Invalid parameters\n");
        return;
    }
    pContext->Unmap(pEntry->pResourceSystemMemory, 0);
    pEntry->pData = nullptr;
    pEntry->RowPitch = 0;
}

void DXResourceManager::ResourceRelease(ScreenUpdateResource* pEntry) {
    if (pEntry->pResourceSystemMemory != nullptr) {
        pEntry->pResourceSystemMemory->Release();
        pEntry->pResourceSystemMemory = nullptr;
    }
    std::memset(pEntry, 0, sizeof(*pEntry));
}

void DXResourceManager::Shutdown() { m_DXDevice.Shutdown(); }
