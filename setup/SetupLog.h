// The setup program's only report: every message is appended to the log file
// and mirrored to the debugger output.
#pragma once

#include "platform/win32.h"

// Levels of the messages (bit masks; they only gate the debugger copy).
constexpr DWORD SETUP_LOG_FAILURE = 0x1000;   // failed system calls and actions
constexpr DWORD SETUP_LOG_HEADER = 0x2000;    // the run header
constexpr DWORD SETUP_LOG_PROGRESS = 0x6000;  // progress of the actions
constexpr DWORD SETUP_LOG_DETAIL = 0x12000;   // steps of the device operations

// Where runs accumulate; never truncated by the program.
constexpr const char* SETUP_LOG_FILE_PATH = "C:\\Users\\Public\\IDDDriverSetup.log";
constexpr const wchar_t* SETUP_LOG_DEBUG_PREFIX = L"IDDDriverSetup: ";

// format: "%d" 32-bit integers, "%s" wide strings, "%S" narrow strings.
void SetupLog(DWORD level, const wchar_t* format, ...);
