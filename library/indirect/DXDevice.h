#pragma once

#include "platform/d3d11.h"

// A Direct3D 11 device on the adapter with a given LUID, its immediate
// context and the context's multithread protection (switched on, so that
// the swap-chain resource thread's copies and the frame-buffer thread's
// maps are serialised). Each pointer holds one reference; only Shutdown
// releases them.
class DXDevice {
public:
    DXDevice();
    ~DXDevice();
    DXDevice(const DXDevice&) = delete;
    DXDevice& operator=(const DXDevice&) = delete;

    bool Initialize(LUID LuidAdapter);
    // A new reference that the caller releases; requires a created device.
    ID3D11Device1* Device1Query();
    void Shutdown();

    // The held interfaces (no new reference); null when not held.
    ID3D11Device* D3dDeviceGet() const { return m_pD3dDevice; }
    ID3D11DeviceContext* D3dContextGet() const { return m_pD3dContext; }
    ID3D11Multithread* D3dMultithreadGet() const { return m_pD3dMultithread; }

private:
    // *ppAdapter: the adapter whose LUID is LuidAdapter, with one reference,
    // or null when none matches. False when a description failed (logged).
    bool PrivateAdapterFind(IDXGIFactory1* pFactory, const LUID& LuidAdapter, IDXGIAdapter1** ppAdapter);

    ID3D11Device* m_pD3dDevice;
    ID3D11DeviceContext* m_pD3dContext;
    ID3D11Multithread* m_pD3dMultithread;
};
