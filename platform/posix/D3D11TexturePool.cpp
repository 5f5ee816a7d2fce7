#include "D3D11TexturePool.h"

D3D11TexturePool& D3D11TexturePool::Instance() {
    // Pooled objects stay reachable until the process ends.
    static D3D11TexturePool* s_pPool = new D3D11TexturePool();
    return *s_pPool;
}

D3D11Texture2D* D3D11TexturePool::Take() {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    if (m_Free.empty())
        return nullptr;
    D3D11Texture2D* pTexture = m_Free.back();
    m_Free.pop_back();
    return pTexture;
}

bool D3D11TexturePool::Give(D3D11Texture2D* pTexture) {
    std::lock_guard<std::mutex> Lock(m_Mutex);
    if (m_Free.size() >= kCapacity)
        return false;
    m_Free.push_back(pTexture);
    return true;
}
