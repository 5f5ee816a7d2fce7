// The one lock of the simulated kernel. It guards the state of every kernel
// object (signalled flags, timer due times, thread states) and every wait
// block, so that a wait on several objects sees and consumes their states
// atomically. Hold it only for short state changes; never while calling out
// of the platform (thread procedures, device handlers).
#pragma once

#include <mutex>

class KernelLock {
public:
    static std::mutex& Mutex();
};
