// One adapter as a DXGI factory enumerated it.
#pragma once

#include <atomic>

#include "DxgiApi.h"
#include "machine_d3d.h"

class DxgiAdapter final : public IDXGIAdapter1 {
public:
    // With one reference.
    static DxgiAdapter* Create(const MachineD3DAdapter& Adapter);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_ADAPTER_DESC1* pDesc) override;

    const LUID& LuidGet() const { return m_Desc.AdapterLuid; }

private:
    explicit DxgiAdapter(const MachineD3DAdapter& Adapter);
    ~DxgiAdapter() = default;

    std::atomic<ULONG> m_References{0};
    DXGI_ADAPTER_DESC1 m_Desc{};
};
