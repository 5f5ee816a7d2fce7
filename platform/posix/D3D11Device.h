// A simulated Direct3D 11 device on one of the machine's adapters. It holds a
// reference to its immediate context for its whole life.
#pragma once

#include <atomic>
#include <memory>

#include "D3D11Api.h"
#include "D3D11DeviceCore.h"

class D3D11DeviceContext;

class D3D11Device final : public ID3D11Device1 {
public:
    // With one reference; its context has one for the caller too.
    static D3D11Device* Create(const LUID& AdapterLuid, D3D_FEATURE_LEVEL FeatureLevel,
                               D3D11DeviceContext** ppContext);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc,
                                              const D3D11_SUBRESOURCE_DATA* pInitialData,
                                              ID3D11Texture2D** ppTexture2D) override;
    void STDMETHODCALLTYPE GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) override;
    D3D_FEATURE_LEVEL STDMETHODCALLTYPE GetFeatureLevel() override;
    HRESULT STDMETHODCALLTYPE OpenSharedResource1(HANDLE hResource, REFIID returnedInterface,
                                                  void** ppResource) override;

private:
    D3D11Device(std::shared_ptr<D3D11DeviceCore> pCore, D3D_FEATURE_LEVEL FeatureLevel);
    ~D3D11Device();

    std::atomic<ULONG> m_References{0};
    const std::shared_ptr<D3D11DeviceCore> m_pCore;
    const D3D_FEATURE_LEVEL m_FeatureLevel;
    D3D11DeviceContext* m_pContext = nullptr;  // one reference
};
