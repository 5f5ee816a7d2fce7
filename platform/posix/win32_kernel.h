// Kernel services of the simulated platform: handles, events, waitable
// timers, threads, waits, critical sections, time, process and thread ids,
// last error and local memory. Semantics follow the Win32 documentation.
#pragma once

#include "win32_base.h"

// --- last error ---------------------------------------------------------------
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD dwErrCode);

// --- handles ------------------------------------------------------------------
#define DUPLICATE_CLOSE_SOURCE 0x00000001
#define DUPLICATE_SAME_ACCESS 0x00000002

// Handle values are multiples of 4 and never reused. Closing a pseudo handle
// (GetCurrentProcess(), which equals INVALID_HANDLE_VALUE, or
// GetCurrentThread()) has no effect and succeeds, as documented; a null,
// unknown or closed handle fails with ERROR_INVALID_HANDLE.
BOOL WINAPI CloseHandle(HANDLE hObject);
// Same process only (the pseudo handle or a real handle to it); access and
// inheritance are ignored. DUPLICATE_CLOSE_SOURCE closes the source even when
// the duplication fails.
BOOL WINAPI DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle,
                            HANDLE hTargetProcessHandle, LPHANDLE lpTargetHandle,
                            DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwOptions);

// --- process and thread identity ---------------------------------------------
HANDLE WINAPI GetCurrentProcess(void);  // pseudo handle (HANDLE)-1
HANDLE WINAPI GetCurrentThread(void);   // pseudo handle (HANDLE)-2
DWORD WINAPI GetCurrentProcessId(void);

// Module references: a reference taken by address keeps the module loaded
// until FreeLibrary gives it back.
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004
BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
DWORD WINAPI GetCurrentThreadId(void);
// Only the current process can be opened (other ids: ERROR_INVALID_PARAMETER).
HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);

// --- waits --------------------------------------------------------------------
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64
#define STATUS_WAIT_0 ((DWORD)0x00000000L)
#define STATUS_PENDING ((DWORD)0x00000103L)
#define STILL_ACTIVE STATUS_PENDING

// Waits block until signalled or timed out (no polling); timeouts run on the
// machine clock (see platform/machine.h). Every handle is checked first: a bad
// one anywhere gives WAIT_FAILED with ERROR_INVALID_HANDLE and consumes
// nothing. A wait-all with the same object twice fails with
// ERROR_INVALID_PARAMETER.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds);
void WINAPI Sleep(DWORD dwMilliseconds);

// --- events -------------------------------------------------------------------
#define SYNCHRONIZE 0x00100000L
#define EVENT_MODIFY_STATE 0x0002
#define EVENT_ALL_ACCESS 0x1F0003

// Named events are not supported (ERROR_NOT_SUPPORTED): nothing shares
// events by name on the simulated machine.
HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                           BOOL bInitialState, LPCWSTR lpName);
BOOL WINAPI SetEvent(HANDLE hEvent);
BOOL WINAPI ResetEvent(HANDLE hEvent);
#define CreateEvent CreateEventW

// --- waitable timers ----------------------------------------------------------
typedef void(CALLBACK* PTIMERAPCROUTINE)(LPVOID lpArgToCompletionRoutine,
                                         DWORD dwTimerLowValue, DWORD dwTimerHighValue);
HANDLE WINAPI CreateWaitableTimerW(LPSECURITY_ATTRIBUTES lpTimerAttributes, BOOL bManualReset,
                                   LPCWSTR lpTimerName);
// Negative due times are relative, in 100 ns units; positive ones are absolute
// (FILETIME scale). lPeriod 0 makes a one-shot timer. Arming replaces any
// earlier due time and makes the timer non-signalled. Unnamed timers only;
// completion routines are not supported (ERROR_NOT_SUPPORTED).
BOOL WINAPI SetWaitableTimer(HANDLE hTimer, const LARGE_INTEGER* lpDueTime, LONG lPeriod,
                             PTIMERAPCROUTINE pfnCompletionRoutine,
                             LPVOID lpArgToCompletionRoutine, BOOL fResume);
BOOL WINAPI CancelWaitableTimer(HANDLE hTimer);
#define CreateWaitableTimer CreateWaitableTimerW

// --- threads ------------------------------------------------------------------
typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

#define CREATE_SUSPENDED 0x00000004
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000

#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_ERROR_RETURN (0x7fffffff)

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId);
DWORD WINAPI ResumeThread(HANDLE hThread);
// Terminates a thread that has not begun its procedure (it never will). A
// running thread cannot be stopped safely on this platform: FALSE with
// ERROR_NOT_SUPPORTED. A thread may terminate itself.
BOOL WINAPI TerminateThread(HANDLE hThread, DWORD dwExitCode);
BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority);
int WINAPI GetThreadPriority(HANDLE hThread);
[[noreturn]] void WINAPI ExitThread(DWORD dwExitCode);

// --- critical sections --------------------------------------------------------
// Opaque storage large enough for the platform's recursive mutex; the layout
// of the Windows structure is not reproduced (nothing reads its fields).
typedef struct _RTL_CRITICAL_SECTION {
    alignas(16) unsigned char Opaque[64];
} CRITICAL_SECTION, *PCRITICAL_SECTION, *LPCRITICAL_SECTION, RTL_CRITICAL_SECTION;

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection,
                                                  DWORD dwSpinCount);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// --- interlocked --------------------------------------------------------------
LONG WINAPI InterlockedIncrement(LONG volatile* Addend);
LONG WINAPI InterlockedDecrement(LONG volatile* Addend);
LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value);
LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comperand);
LONG WINAPI InterlockedExchangeAdd(LONG volatile* Addend, LONG Value);
LONGLONG WINAPI InterlockedIncrement64(LONGLONG volatile* Addend);
LONGLONG WINAPI InterlockedCompareExchange64(LONGLONG volatile* Destination, LONGLONG Exchange,
                                            LONGLONG Comperand);
PVOID WINAPI InterlockedExchangePointer(PVOID volatile* Target, PVOID Value);
PVOID WINAPI InterlockedCompareExchangePointer(PVOID volatile* Destination, PVOID Exchange, PVOID Comperand);

// --- time ---------------------------------------------------------------------
void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime);
void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);
DWORD WINAPI GetTickCount(void);
ULONGLONG WINAPI GetTickCount64(void);
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);

// --- local memory -------------------------------------------------------------
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND 0x0042

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
HLOCAL WINAPI LocalFree(HLOCAL hMem);  // null on success, hMem on failure
