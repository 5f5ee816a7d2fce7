#pragma once

#include <cstdint>

#include "platform/win32.h"

// The library's diagnostic log: single formatted lines to the debugger
// output, each with the prefix "AL [pid:tid]:", written only when the
// message's level shares a bit with DebugLevelAL.

constexpr int32_t AL_DEBUG_ERROR = 0x01;
constexpr int32_t AL_DEBUG_EVENT_RING = 0x02;
constexpr int32_t AL_DEBUG_THREAD = 0x04;
constexpr int32_t AL_DEBUG_SWAPCHAIN = 0x08;
constexpr int32_t AL_DEBUG_EVENT_COUNTERS = 0x10;
constexpr int32_t AL_DEBUG_DRIVER_CONTROL = 0x20;
constexpr int32_t AL_DEBUG_PNP = 0x40;
constexpr int32_t AL_DEBUG_ALL = static_cast<int32_t>(0xFFFFFFFFu);

// Units of the line buffer: prefix, message and terminator. Longer lines are
// cut to it.
constexpr size_t AL_DEBUG_LINE_UNITS = 4096;

// The process-wide level: 0 at load, read once from the registry by
// ALDebugLevelRead while the library loads, before any worker thread
// exists, and only read afterwards. 0 writes nothing. Tests set it directly
// (with no library thread running).
extern DWORD DebugLevelAL;

// Reads "DebugLevelAL" of HKLM "SYSTEM\CurrentControlSet\Services\vantorService"
// (at most four bytes, lowest first). Missing or unreadable: 0, silently.
void ALDebugLevelRead();

// Writes the banner, the build stamp and the time of the call, when the
// level is non-zero.
void ALDebugHeaderPrint();

// Writes one line: the prefix, then the message formatted with the wide
// convention of ALWideFormat ("%s" wide, "%S" narrow). No line end is added.
// Nothing is formatted when the level does not match. Any thread; no lock,
// no heap; one OutputDebugStringW call; the caller's last error is kept.
void ALDebugPrint(int32_t Level, const wchar_t* pFormat, ...);
