#include "KernelLock.h"

std::mutex& KernelLock::Mutex() {
    // Never destroyed: threads may still signal objects while static
    // destructors run at process exit.
    static std::mutex* s_pMutex = new std::mutex;
    return *s_pMutex;
}
