// Debugger output and system message texts of the simulated platform.
#pragma once

#include "win32_base.h"

// Hands one finished line to the debugger output. On this platform the text
// goes to the machine's debug sink (see platform/machine.h).
void WINAPI OutputDebugStringW(LPCWSTR lpOutputString);
void WINAPI OutputDebugStringA(LPCSTR lpOutputString);

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

// Supports FORMAT_MESSAGE_FROM_SYSTEM with the system texts of the error codes
// the system uses, optionally with FORMAT_MESSAGE_ALLOCATE_BUFFER (lpBuffer is
// then a LPWSTR* receiving a LocalAlloc block). Texts end with "\r\n" as the
// system's do. Unknown codes fail with ERROR_MR_MID_NOT_FOUND.
#define ERROR_MR_MID_NOT_FOUND 317L
DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                            DWORD dwLanguageId, LPWSTR lpBuffer, DWORD nSize, void* Arguments);
