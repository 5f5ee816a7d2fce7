// LocalAlloc/LocalFree: fixed blocks from the C heap with a small header, so
// that LocalFree can reject what it did not hand out and tests can count the
// blocks still alive.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/machine.h"
#include "platform/win32.h"

namespace {

constexpr uint64_t kLocalBlockTag = 0x4C4F43414C424C4BULL;  // "LOCALBLK"

struct alignas(16) LocalBlockHeader {
    uint64_t Tag;
    SIZE_T Size;
};

std::atomic<long> g_LiveLocalBlocks{0};

}  // namespace

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    if ((uFlags & ~LPTR) != 0) {  // moveable memory is not supported
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* pHeader = static_cast<LocalBlockHeader*>(std::malloc(sizeof(LocalBlockHeader) + uBytes));
    if (pHeader == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    pHeader->Tag = kLocalBlockTag;
    pHeader->Size = uBytes;
    if (uFlags & LMEM_ZEROINIT)
        std::memset(pHeader + 1, 0, uBytes);
    g_LiveLocalBlocks.fetch_add(1, std::memory_order_relaxed);
    return pHeader + 1;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    if (hMem == nullptr)
        return nullptr;
    auto* pHeader = static_cast<LocalBlockHeader*>(hMem) - 1;
    if (pHeader->Tag != kLocalBlockTag) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    pHeader->Tag = 0;
    std::free(pHeader);
    g_LiveLocalBlocks.fetch_sub(1, std::memory_order_relaxed);
    return nullptr;
}

long MachineLocalBlocksLive() { return g_LiveLocalBlocks.load(std::memory_order_relaxed); }
