// Multimedia class scheduler subset of the simulated platform: a thread joins
// and leaves a task named in the machine's task list ("Audio", "Capture",
// "Distribution", "Games", "Playback", "Pro Audio", "Window Manager", ...).
#pragma once

#include "win32_base.h"

#define ERROR_INVALID_TASK_NAME 1550L
#define ERROR_INVALID_TASK_INDEX 1551L

// Null with ERROR_INVALID_TASK_NAME for an unknown task name, with
// ERROR_INVALID_PARAMETER for a null argument. *TaskIndex 0 asks for a new
// task index, which is written back.
HANDLE WINAPI AvSetMmThreadCharacteristicsW(LPCWSTR TaskName, LPDWORD TaskIndex);
// FALSE with ERROR_INVALID_HANDLE for a handle that no join returned or that
// was reverted already.
BOOL WINAPI AvRevertMmThreadCharacteristics(HANDLE AvrtHandle);
#define AvSetMmThreadCharacteristics AvSetMmThreadCharacteristicsW
