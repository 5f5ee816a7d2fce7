// A DXGI factory: the machine's adapters as they were when it was made.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "DxgiApi.h"
#include "machine_d3d.h"

class DxgiFactory final : public IDXGIFactory1 {
public:
    // With one reference.
    static DxgiFactory* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE EnumAdapters(UINT Adapter, IDXGIAdapter** ppAdapter) override;
    HRESULT STDMETHODCALLTYPE EnumAdapters1(UINT Adapter, IDXGIAdapter1** ppAdapter) override;
    BOOL STDMETHODCALLTYPE IsCurrent() override;

private:
    DxgiFactory();
    ~DxgiFactory() = default;

    std::atomic<ULONG> m_References{0};
    std::vector<MachineD3DAdapter> m_Adapters;
    uint64_t m_Generation;
};
