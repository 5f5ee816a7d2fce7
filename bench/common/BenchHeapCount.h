// Counts the heap allocations of the benchmark process while counting is on,
// sorted by who made them:
//   Library  threads of the library (and the in-process platform it calls:
//            waits, handles, Direct3D), outside any driver request;
//   Kernel   inside DeviceIoControl and the waits: the simulated kernel and
//            driver, which on Windows answer outside the process's heap;
//   Bench    threads of the benchmark itself (the presenter, the main thread).
// Every allocation function of the C library is replaced; the counting costs
// a relaxed atomic increment.
#pragma once

#include <cstdint>

class BenchHeapCount {
public:
    struct Totals {
        uint64_t Library = 0;
        uint64_t Kernel = 0;
        uint64_t Bench = 0;
    };

    static void CountingSet(bool bCounting);
    static Totals TotalsGet();
    static void TotalsReset();
    // The calling thread belongs to the benchmark.
    static void ThreadIsBench();
    // Brackets a call into the simulated kernel on the calling thread.
    static void KernelEnter();
    static void KernelLeave();
    static void Counted();
};
