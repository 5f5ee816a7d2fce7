#include "BenchHeapCount.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#include "platform/win32.h"

extern "C" {
void* __libc_malloc(size_t Size);
void* __libc_calloc(size_t Count, size_t Size);
void* __libc_realloc(void* pBlock, size_t Size);
void* __libc_memalign(size_t Alignment, size_t Size);
void __libc_free(void* pBlock);
}

namespace {

std::atomic<bool> g_bCounting{false};
std::atomic<uint64_t> g_Library{0};
std::atomic<uint64_t> g_Kernel{0};
std::atomic<uint64_t> g_Bench{0};
// Plain thread-local values (no constructor): usable inside malloc itself.
thread_local bool t_bBench = false;
thread_local int t_KernelDepth = 0;

}  // namespace

void BenchHeapCount::CountingSet(bool bCounting) { g_bCounting.store(bCounting); }

BenchHeapCount::Totals BenchHeapCount::TotalsGet() {
    Totals Result;
    Result.Library = g_Library.load();
    Result.Kernel = g_Kernel.load();
    Result.Bench = g_Bench.load();
    return Result;
}

void BenchHeapCount::TotalsReset() {
    g_Library.store(0);
    g_Kernel.store(0);
    g_Bench.store(0);
}

void BenchHeapCount::ThreadIsBench() { t_bBench = true; }

void BenchHeapCount::KernelEnter() { ++t_KernelDepth; }

void BenchHeapCount::KernelLeave() { --t_KernelDepth; }

void BenchHeapCount::Counted() {
    if (!g_bCounting.load(std::memory_order_relaxed))
        return;
    if (t_bBench)
        g_Bench.fetch_add(1, std::memory_order_relaxed);
    else if (t_KernelDepth > 0)
        g_Kernel.fetch_add(1, std::memory_order_relaxed);
    else
        g_Library.fetch_add(1, std::memory_order_relaxed);
}

// --- the C library's allocation functions -------------------------------------

extern "C" void* malloc(size_t Size) {
    BenchHeapCount::Counted();
    return __libc_malloc(Size);
}

extern "C" void* calloc(size_t Count, size_t Size) {
    BenchHeapCount::Counted();
    return __libc_calloc(Count, Size);
}

extern "C" void* realloc(void* pBlock, size_t Size) {
    BenchHeapCount::Counted();
    return __libc_realloc(pBlock, Size);
}

extern "C" void free(void* pBlock) { __libc_free(pBlock); }

extern "C" void* memalign(size_t Alignment, size_t Size) {
    BenchHeapCount::Counted();
    return __libc_memalign(Alignment, Size);
}

extern "C" void* aligned_alloc(size_t Alignment, size_t Size) {
    BenchHeapCount::Counted();
    return __libc_memalign(Alignment, Size);
}

extern "C" int posix_memalign(void** ppBlock, size_t Alignment, size_t Size) {
    BenchHeapCount::Counted();
    void* pBlock = __libc_memalign(Alignment, Size);
    if (pBlock == nullptr)
        return ENOMEM;
    *ppBlock = pBlock;
    return 0;
}

// --- the simulated kernel: linked with --wrap of the platform's functions -------
// (C++ symbols, named by the build) for driver requests and waits. On Windows
// both are answered by the kernel and the driver, not from the process's heap.

#define BENCH_KERNEL_CALL(Body) \
    BenchHeapCount::KernelEnter(); \
    const auto Result = Body;      \
    BenchHeapCount::KernelLeave(); \
    return Result

extern BOOL WINAPI DeviceIoControlReal(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                                       DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                                       LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped)
    __asm__("__real_" BENCH_SYMBOL_DEVICE_IO_CONTROL);
extern "C" BOOL BenchDeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                                     LPOVERLAPPED lpOverlapped) __asm__("__wrap_" BENCH_SYMBOL_DEVICE_IO_CONTROL);
extern "C" BOOL BenchDeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                                     LPOVERLAPPED lpOverlapped) {
    BENCH_KERNEL_CALL(DeviceIoControlReal(hDevice, dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer,
                                          nOutBufferSize, lpBytesReturned, lpOverlapped));
}

extern DWORD WINAPI WaitForSingleObjectReal(HANDLE hHandle, DWORD dwMilliseconds)
    __asm__("__real_" BENCH_SYMBOL_WAIT_SINGLE);
extern "C" DWORD BenchWaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
    __asm__("__wrap_" BENCH_SYMBOL_WAIT_SINGLE);
extern "C" DWORD BenchWaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    BENCH_KERNEL_CALL(WaitForSingleObjectReal(hHandle, dwMilliseconds));
}

extern DWORD WINAPI WaitForMultipleObjectsReal(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds) __asm__("__real_" BENCH_SYMBOL_WAIT_MULTIPLE);
extern "C" DWORD BenchWaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                             DWORD dwMilliseconds) __asm__("__wrap_" BENCH_SYMBOL_WAIT_MULTIPLE);
extern "C" DWORD BenchWaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                             DWORD dwMilliseconds) {
    BENCH_KERNEL_CALL(WaitForMultipleObjectsReal(nCount, lpHandles, bWaitAll, dwMilliseconds));
}
