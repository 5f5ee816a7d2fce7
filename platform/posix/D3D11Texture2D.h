// A texture of the simulated Direct3D 11: either made by CreateTexture2D, with
// pixels of its own, or opened from a texture a driver shares by handle, whose
// pixels (and pixel lock) it uses. The GPU reads and writes pixels under the
// pixel lock; a mapped texture's pixels are the caller's until Unmap.
//
// Opened textures come from a pool: their final Release drops the shared
// texture and returns the object, so opening the frames of a driver again
// and again allocates nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "D3D11Api.h"
#include "D3D11DeviceCore.h"
#include "D3DObjectCount.h"
#include "machine_device.h"

class D3D11Texture2D final : public ID3D11Texture2D {
public:
    // A new texture with pixels of its own (zero, or from pInitialData).
    static D3D11Texture2D* Create(std::shared_ptr<D3D11DeviceCore> pCore, const D3D11_TEXTURE2D_DESC& Desc,
                                  const D3D11_SUBRESOURCE_DATA* pInitialData);
    // A texture that uses the pixels of pShared.
    static D3D11Texture2D* Open(std::shared_ptr<D3D11DeviceCore> pCore, std::shared_ptr<MachineSharedTexture> pShared);
    // Whether Desc describes a texture this platform makes.
    static bool DescIsValid(const D3D11_TEXTURE2D_DESC& Desc);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) override;
    void STDMETHODCALLTYPE GetDesc(D3D11_TEXTURE2D_DESC* pDesc) override;

    const D3D11DeviceCore* CoreGet() const { return m_pCore.get(); }
    const D3D11_TEXTURE2D_DESC& DescGet() const { return m_Desc; }
    uint8_t* PixelsGet() const { return m_pPixels; }
    UINT PitchGet() const { return m_Pitch; }
    std::mutex* PixelLockGet() const { return m_pPixelLock; }

    // State kept for the immediate context.
    bool MappedExchange(bool bMapped) { return m_bMapped.exchange(bMapped); }
    bool MappedIs() const { return m_bMapped.load(); }
    void WriteFenceSet(uint64_t Fence) { m_WriteFence.store(Fence); }
    uint64_t WriteFenceGet() const { return m_WriteFence.load(); }

private:
    D3D11Texture2D() = default;
    ~D3D11Texture2D() = default;
    D3DObjectKind PrivateKind() const;
    void PrivateReturn();

    std::atomic<ULONG> m_References{0};
    std::shared_ptr<D3D11DeviceCore> m_pCore;
    D3D11_TEXTURE2D_DESC m_Desc{};
    uint8_t* m_pPixels = nullptr;
    UINT m_Pitch = 0;
    std::mutex* m_pPixelLock = nullptr;
    std::vector<uint8_t> m_OwnPixels;
    std::mutex m_OwnPixelLock;
    std::shared_ptr<MachineSharedTexture> m_pShared;
    std::atomic<bool> m_bMapped{false};
    std::atomic<uint64_t> m_WriteFence{0};
};
