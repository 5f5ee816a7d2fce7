// Critical sections: a recursive POSIX mutex built in place in the caller's
// CRITICAL_SECTION storage. Independent of the kernel lock.
#include <pthread.h>

#include "platform/win32.h"

static_assert(sizeof(pthread_mutex_t) <= sizeof(CRITICAL_SECTION::Opaque), "CRITICAL_SECTION storage too small");
static_assert(alignof(pthread_mutex_t) <= alignof(CRITICAL_SECTION), "CRITICAL_SECTION storage misaligned");

namespace {

pthread_mutex_t* MutexOf(LPCRITICAL_SECTION lpCriticalSection) {
    return reinterpret_cast<pthread_mutex_t*>(lpCriticalSection->Opaque);
}

}  // namespace

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    pthread_mutexattr_t Attributes;
    pthread_mutexattr_init(&Attributes);
    pthread_mutexattr_settype(&Attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(MutexOf(lpCriticalSection), &Attributes);
    pthread_mutexattr_destroy(&Attributes);
}

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount) {
    (void)dwSpinCount;
    InitializeCriticalSection(lpCriticalSection);
    return TRUE;
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    pthread_mutex_destroy(MutexOf(lpCriticalSection));
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    pthread_mutex_lock(MutexOf(lpCriticalSection));
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    return pthread_mutex_trylock(MutexOf(lpCriticalSection)) == 0 ? TRUE : FALSE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    pthread_mutex_unlock(MutexOf(lpCriticalSection));
}
