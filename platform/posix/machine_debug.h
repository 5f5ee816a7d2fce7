// Machine API, debugger output part. Every OutputDebugStringW/A call is one
// entry, recorded in order (unless recording is off), passed to the listeners
// and, when asked, echoed to standard error.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "win32_base.h"

// The recorded entries, oldest first.
std::vector<std::wstring> MachineDebugLines();
size_t MachineDebugLineCount();
void MachineDebugClear();
// Recording is on by default; a long-running host may turn it off.
void MachineDebugRecordSet(bool bRecord);
// Echo each entry to standard error as UTF-8 (off by default).
void MachineDebugEchoSet(bool bEcho);

// Listeners see each entry as it is written, on the writing thread, one at a
// time; they must not write debug output themselves.
typedef std::function<void(const std::wstring& Line)> MachineDebugListener;
size_t MachineDebugListenerAdd(MachineDebugListener Listener);  // returns an id
void MachineDebugListenerRemove(size_t Id);

// Waits until a recorded entry contains Fragment (entries recorded before the
// call count too); false when dwMilliseconds passed first.
bool MachineDebugTextWait(const std::wstring& Fragment, DWORD dwMilliseconds);
