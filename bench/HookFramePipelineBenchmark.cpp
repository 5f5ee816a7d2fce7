// The hook frame pipeline against the simulated hook display driver:
// latency from the driver signalling a change (an update-ring entry, a
// pointer move) to the start of the monitor instance's FrameBufferUpdate on
// the frame-buffer thread, and the heap allocations that thread makes per
// event. Each sample is paired with a cross-thread wake-up through the same
// kind of event, taken in the same run, and reported as a ratio to it.
//
// Counters: p50_us, p99_us (the path), wake_p50_us, wake_p99_us (the
// wake-up), p50_ratio, p99_ratio; allocs_per_event: what the worker thread
// allocated between the end of one FrameBufferUpdate and the start of the
// next, outside the platform's wait; platform_wait_allocs_per_event: what
// the simulated platform's WaitForMultipleObjects allocated in that time (a
// Win32 wait allocates nothing in the process); wake_wait_allocs: the same
// for one wait of the wake-up's thread.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "driver/ALDeviceControlHook.h"
#include "hook/ALThreadFrameBufferHook.h"
#include "interface/INimboApiDisplayMonitorInstance.h"
#include "platform/machine.h"
#include "platform/win32.h"
#include "sim/SimHookDriver.h"
#include "support/ALDebugLog.h"

// --- heap allocations of each thread ----------------------------------------------
// Every allocation of the process passes malloc, operator new included.
namespace {
thread_local uint64_t t_Allocations = 0;
// Those made inside the simulated platform's WaitForMultipleObjects (which
// keeps its wait list on the heap): the operating system's share, not the
// library's. The build wraps the library's calls of it (--wrap).
thread_local uint64_t t_AllocationsInWait = 0;
}

// WaitForMultipleObjects has C++ linkage on the simulated platform.
extern "C" DWORD __real__Z22WaitForMultipleObjectsjPKPvij(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                                         DWORD dwMilliseconds);
extern "C" DWORD __wrap__Z22WaitForMultipleObjectsjPKPvij(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                                         DWORD dwMilliseconds) {
    const uint64_t Before = t_Allocations;
    const DWORD Result = __real__Z22WaitForMultipleObjectsjPKPvij(nCount, lpHandles, bWaitAll, dwMilliseconds);
    t_AllocationsInWait += t_Allocations - Before;
    return Result;
}

extern "C" {
void* __libc_malloc(size_t Size);
void* __libc_calloc(size_t Count, size_t Size);
void* __libc_realloc(void* pBlock, size_t Size);
void* __libc_memalign(size_t Alignment, size_t Size);

void* malloc(size_t Size) {
    ++t_Allocations;
    return __libc_malloc(Size);
}
void* calloc(size_t Count, size_t Size) {
    ++t_Allocations;
    return __libc_calloc(Count, Size);
}
void* realloc(void* pBlock, size_t Size) {
    ++t_Allocations;
    return __libc_realloc(pBlock, Size);
}
void* memalign(size_t Alignment, size_t Size) {
    ++t_Allocations;
    return __libc_memalign(Alignment, Size);
}
int posix_memalign(void** ppBlock, size_t Alignment, size_t Size) {
    ++t_Allocations;
    *ppBlock = __libc_memalign(Alignment, Size);
    return *ppBlock != nullptr ? 0 : ENOMEM;
}
void* aligned_alloc(size_t Alignment, size_t Size) {
    ++t_Allocations;
    return __libc_memalign(Alignment, Size);
}
}

namespace {

using Clock = std::chrono::steady_clock;

int64_t NowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Receives the updates: notes when each FrameBufferUpdate starts and what the
// worker allocated since the previous one ended, then wakes the benchmark.
class TimingInstance : public INimboApiDisplayMonitorInstance {
public:
    TimingInstance() : m_hUpdated(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~TimingInstance() override { CloseHandle(m_hUpdated); }

    void MonitorStop() override {}
    bool MonitorVisibilitySet(bool) override { return true; }
    bool FrameBufferUpdate(FrameBufferInfo, void*, UINT32, void*, UINT32, RECT*, UINT32, PointerInfo*) override {
        const int64_t Start = NowNanoseconds();
        const uint64_t Allocations = t_Allocations;
        const uint64_t AllocationsInWait = t_AllocationsInWait;
        m_StartNanoseconds.store(Start, std::memory_order_relaxed);
        m_AllocationsBetween.store(Allocations - m_AllocationsAtEnd, std::memory_order_relaxed);
        m_AllocationsInWaitBetween.store(AllocationsInWait - m_AllocationsInWaitAtEnd, std::memory_order_relaxed);
        SetEvent(m_hUpdated);
        m_AllocationsAtEnd = t_Allocations;
        m_AllocationsInWaitAtEnd = t_AllocationsInWait;
        return true;
    }
    bool CursorPositionSet(int, int, int) override { return true; }
    bool CursorShapeSet(PointerInfo*) override { return true; }
    bool Heartbeat() override { return true; }
    bool InactivitySet(INT32) override { return true; }
    std::wstring InstanceIdGet() override { return L"{00000000-0000-0000-0000-000000000001}"; }
    std::wstring InstanceNameGet() override { return std::wstring(); }
    UINT32 InstanceContextGet() override { return 0; }
    bool GetMonitorDescription(BYTE** ppDescription, UINT32* pCountByte, BYTE**, UINT32*) override {
        const UINT32 Fields[9] = {0, 0, 0, 0, 1, 1920, 1080, 0, 60};
        *ppDescription = static_cast<BYTE*>(LocalAlloc(LPTR, sizeof(Fields)));
        if (*ppDescription == nullptr)
            return false;
        std::memcpy(*ppDescription, Fields, sizeof(Fields));
        *pCountByte = sizeof(Fields);
        return true;
    }
    bool InstanceQuery(void*) override { return false; }

    HANDLE UpdatedGet() const { return m_hUpdated; }
    int64_t StartGet() const { return m_StartNanoseconds.load(std::memory_order_relaxed); }
    uint64_t AllocationsBetweenGet() const { return m_AllocationsBetween.load(std::memory_order_relaxed); }
    uint64_t AllocationsInWaitBetweenGet() const {
        return m_AllocationsInWaitBetween.load(std::memory_order_relaxed);
    }

private:
    HANDLE m_hUpdated;
    std::atomic<int64_t> m_StartNanoseconds{0};
    std::atomic<uint64_t> m_AllocationsBetween{0};
    std::atomic<uint64_t> m_AllocationsInWaitBetween{0};
    uint64_t m_AllocationsAtEnd = 0;  // worker only
    uint64_t m_AllocationsInWaitAtEnd = 0;
};

// The reference: one thread wakes another through an event and notes when it
// woke.
class WakeUpProbe {
public:
    WakeUpProbe()
        : m_hGo(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          m_hWoken(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          m_hThread(CreateThread(nullptr, 0, &WakeUpProbe::ThreadProcedure, this, 0, nullptr)) {}
    ~WakeUpProbe() {
        m_bStop = true;
        SetEvent(m_hGo);
        WaitForSingleObject(m_hThread, INFINITE);
        for (HANDLE hHandle : {m_hThread, m_hGo, m_hWoken})
            CloseHandle(hHandle);
    }
    int64_t Sample() {
        const int64_t Signalled = NowNanoseconds();
        SetEvent(m_hGo);
        WaitForSingleObject(m_hWoken, INFINITE);
        return m_WokenNanoseconds.load(std::memory_order_relaxed) - Signalled;
    }
    // What the waiting thread allocated per wake-up: the platform's own cost
    // of one wait, to tell apart from the library's.
    double AllocationsPerWaitGet() const {
        const uint64_t Waits = m_Waits.load(std::memory_order_relaxed);
        return Waits == 0 ? 0 : static_cast<double>(m_Allocations.load(std::memory_order_relaxed)) /
                                    static_cast<double>(Waits);
    }

private:
    static DWORD WINAPI ThreadProcedure(LPVOID pParameter) {
        auto* pProbe = static_cast<WakeUpProbe*>(pParameter);
        for (;;) {
            const uint64_t Before = t_Allocations;
            WaitForSingleObject(pProbe->m_hGo, INFINITE);
            pProbe->m_WokenNanoseconds.store(NowNanoseconds(), std::memory_order_relaxed);
            if (pProbe->m_bStop)
                return 0;
            pProbe->m_Allocations.fetch_add(t_Allocations - Before, std::memory_order_relaxed);
            pProbe->m_Waits.fetch_add(1, std::memory_order_relaxed);
            SetEvent(pProbe->m_hWoken);
        }
    }

    HANDLE m_hGo;
    HANDLE m_hWoken;
    std::atomic<bool> m_bStop{false};
    std::atomic<int64_t> m_WokenNanoseconds{0};
    std::atomic<uint64_t> m_Allocations{0};
    std::atomic<uint64_t> m_Waits{0};
    HANDLE m_hThread;
};

// One monitor on the simulated driver, mapped, with its frame-buffer thread.
class HookPipeline {
public:
    HookPipeline() {
        DebugLevelAL = 0;
        MachineDebugRecordSet(false);
        m_pDriver = SimHookDriver::Install();
        m_Device.Create(L"\\\\.\\NimboHookCtrlvantor");
        m_pInstance = new TimingInstance();
        m_pThread = std::make_unique<ALThreadFrameBufferHook>(&m_Device);
        m_bStarted = m_pThread->Start(m_pInstance, 0);
        // The whole frame that follows the mapping.
        m_bStarted = m_bStarted && WaitForSingleObject(m_pInstance->UpdatedGet(), 10000) == WAIT_OBJECT_0;
        m_pDriver->PointerShapeSet(0, 0, 32, 32, std::vector<uint8_t>(32 * 32 * 4, 0xFF));
    }
    ~HookPipeline() {
        if (m_bStarted) {
            m_pThread->RequestExit(true);
            m_pThread->WaitForExit(INFINITE);
        } else {
            delete m_pInstance;
        }
        m_pThread.reset();
        m_Device.Destroy();
        m_pDriver->Uninstall();
        MachineDebugRecordSet(true);
    }
    bool IsStarted() const { return m_bStarted; }
    SimHookDriver& Driver() { return *m_pDriver; }
    TimingInstance& Instance() { return *m_pInstance; }

private:
    std::shared_ptr<SimHookDriver> m_pDriver;
    ALDeviceControlHook m_Device;
    TimingInstance* m_pInstance = nullptr;
    std::unique_ptr<ALThreadFrameBufferHook> m_pThread;
    bool m_bStarted = false;
};

double Percentile(std::vector<int64_t> Samples, double Fraction) {
    if (Samples.empty())
        return 0;
    std::sort(Samples.begin(), Samples.end());
    const size_t Index = std::min(Samples.size() - 1, static_cast<size_t>(Fraction * static_cast<double>(Samples.size())));
    return static_cast<double>(Samples[Index]) / 1000.0;
}

// Signal is the driver's side of one event; it returns the instant it
// signalled.
template <typename SignalFunction>
void PathMeasure(benchmark::State& State, HookPipeline& Pipeline, SignalFunction Signal) {
    if (!Pipeline.IsStarted()) {
        State.SkipWithError("the frame-buffer thread did not start");
        return;
    }
    WakeUpProbe WakeUp;
    std::vector<int64_t> Path, Wake;
    Path.reserve(static_cast<size_t>(State.max_iterations));
    Wake.reserve(static_cast<size_t>(State.max_iterations));
    uint64_t Allocations = 0;
    uint64_t AllocationsInWait = 0;
    for (auto _ : State) {
        Wake.push_back(WakeUp.Sample());
        const int64_t Signalled = Signal();
        if (WaitForSingleObject(Pipeline.Instance().UpdatedGet(), 10000) != WAIT_OBJECT_0) {
            State.SkipWithError("no update arrived");
            return;
        }
        const int64_t Latency = Pipeline.Instance().StartGet() - Signalled;
        Path.push_back(Latency);
        Allocations += Pipeline.Instance().AllocationsBetweenGet();
        AllocationsInWait += Pipeline.Instance().AllocationsInWaitBetweenGet();
        State.SetIterationTime(static_cast<double>(Latency) / 1e9);
    }
    const double PathP50 = Percentile(Path, 0.50), PathP99 = Percentile(Path, 0.99);
    const double WakeP50 = Percentile(Wake, 0.50), WakeP99 = Percentile(Wake, 0.99);
    State.counters["p50_us"] = PathP50;
    State.counters["p99_us"] = PathP99;
    State.counters["wake_p50_us"] = WakeP50;
    State.counters["wake_p99_us"] = WakeP99;
    State.counters["p50_ratio"] = WakeP50 > 0 ? PathP50 / WakeP50 : 0;
    State.counters["p99_ratio"] = WakeP99 > 0 ? PathP99 / WakeP99 : 0;
    const double Events = Path.empty() ? 1 : static_cast<double>(Path.size());
    State.counters["allocs_per_event"] = static_cast<double>(Allocations - AllocationsInWait) / Events;
    State.counters["platform_wait_allocs_per_event"] = static_cast<double>(AllocationsInWait) / Events;
    State.counters["wake_wait_allocs"] = WakeUp.AllocationsPerWaitGet();
}

void BM_FrameBufferChangedToUpdate(benchmark::State& State) {
    HookPipeline Pipeline;
    LONG Left = 0;
    PathMeasure(State, Pipeline, [&] {
        Left = (Left + 16) % 1024;
        const RECT Changed{Left, 100, Left + 64, 164};
        const int64_t Signalled = NowNanoseconds();
        Pipeline.Driver().FrameUpdateAnnounce(0, 0, Changed, 0);
        return Signalled;
    });
}

void BM_PointerMoveToUpdate(benchmark::State& State) {
    HookPipeline Pipeline;
    int32_t X = 0;
    PathMeasure(State, Pipeline, [&] {
        X = (X + 7) % 1000;
        const int64_t Signalled = NowNanoseconds();
        Pipeline.Driver().PointerPositionSet(0, 0, X, 200, true);
        return Signalled;
    });
}

BENCHMARK(BM_FrameBufferChangedToUpdate)->UseManualTime()->Iterations(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PointerMoveToUpdate)->UseManualTime()->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
