// Objects of opened shared textures that are not in use, kept for the next
// OpenSharedResource1 (a display pipeline opens every frame anew).
#pragma once

#include <mutex>
#include <vector>

class D3D11Texture2D;

class D3D11TexturePool {
public:
    static D3D11TexturePool& Instance();

    // A pooled object, or null when there is none.
    D3D11Texture2D* Take();
    // Keeps pTexture for later; false when the pool is full (the caller
    // deletes it then).
    bool Give(D3D11Texture2D* pTexture);

private:
    static constexpr size_t kCapacity = 32;

    D3D11TexturePool() { m_Free.reserve(kCapacity); }

    std::mutex m_Mutex;
    std::vector<D3D11Texture2D*> m_Free;
};
