#include "D3DObjectCount.h"

#include <cstring>

namespace {

const char* const kKindNames[] = {"Factory", "Adapter", "Device", "Context", "Texture2D", "SharedTexture"};
static_assert(sizeof(kKindNames) / sizeof(kKindNames[0]) == static_cast<int>(D3DObjectKind::Count));

}  // namespace

std::atomic<long> D3DObjectCount::s_Live[static_cast<int>(D3DObjectKind::Count)];

void D3DObjectCount::Added(D3DObjectKind Kind) { s_Live[static_cast<int>(Kind)].fetch_add(1); }

void D3DObjectCount::Removed(D3DObjectKind Kind) { s_Live[static_cast<int>(Kind)].fetch_sub(1); }

long D3DObjectCount::Live() {
    long Total = 0;
    for (const auto& Count : s_Live)
        Total += Count.load();
    return Total;
}

long D3DObjectCount::LiveOfKindName(const char* pKind) {
    for (int i = 0; i < static_cast<int>(D3DObjectKind::Count); ++i)
        if (pKind != nullptr && std::strcmp(pKind, kKindNames[i]) == 0)
            return s_Live[i].load();
    return -1;
}
