// Machine API, kernel part: counters and controls for tests.
#pragma once

#include "win32_base.h"

// Number of LocalAlloc blocks not yet freed (leak checks).
long MachineLocalBlocksLive();

// --- handles and threads (leak checks) ----------------------------------------
// Open handles in the process-wide table (pseudo handles are not counted).
long MachineHandlesLive();
// Open handles naming objects of one kind: "Event", "WaitableTimer",
// "Thread", "Process", or the kind name of a later object kind.
long MachineHandlesLiveOfKind(const char* pKind);
// Threads made by CreateThread that have not ended.
long MachineThreadsLive();
// Module references taken with GetModuleHandleExW and not yet given back.
long MachineModuleReferencesLive();

// --- clock --------------------------------------------------------------------
// Runs the machine clock Factor times as fast as real time (Factor > 0; other
// values are ignored): timeouts, Sleep, waitable timer due times, tick counts
// and the performance counter all follow it. Waits already in progress keep
// their machine-time deadlines. Default 1.
void MachineClockScaleSet(double Factor);
double MachineClockScaleGet();

// --- local time ---------------------------------------------------------------
// Fixes what GetLocalTime reports (exactly this value until cleared); null
// clears, as does MachineLocalTimeClear. GetSystemTime and
// GetSystemTimeAsFileTime keep reporting the real time.
void MachineLocalTimeSet(const SYSTEMTIME* pLocalTime);
void MachineLocalTimeClear();

// --- waiters ------------------------------------------------------------------
// Threads currently blocked in WaitForSingleObject, WaitForMultipleObjects or
// Sleep (waits that were satisfied or timed out at once are not counted).
long MachineWaitersBlocked();
// Blocks until at least Count threads are blocked in a wait, or until
// RealMilliseconds of real time have passed; returns whether they were. Lets a
// test know that a worker has reached its wait without guessing with sleeps.
bool MachineWaitersBlockedAwait(long Count, DWORD RealMilliseconds);

// --- reset --------------------------------------------------------------------
// Closes every open handle (objects still used by running threads or waits
// live on), sets the clock scale back to 1 and clears a fixed local time.
void MachineKernelReset();
