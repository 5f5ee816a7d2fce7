// Live Direct3D and DXGI objects of the simulated platform, by kind: an
// object counts while it holds at least one reference.
#pragma once

#include <atomic>

enum class D3DObjectKind { Factory, Adapter, Device, Context, Texture2D, SharedTexture, Count };

class D3DObjectCount {
public:
    static void Added(D3DObjectKind Kind);
    static void Removed(D3DObjectKind Kind);
    static long Live();
    // -1 for an unknown kind name.
    static long LiveOfKindName(const char* pKind);

private:
    static std::atomic<long> s_Live[static_cast<int>(D3DObjectKind::Count)];
};
