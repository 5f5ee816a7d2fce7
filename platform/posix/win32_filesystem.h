// Files of the simulated platform. Windows paths are mapped onto the host's
// file system: "C:\..." lies under the machine's root directory (see
// platform/machine.h), "Z:\..." is the host's "/" as under Wine. Path
// components are matched case-insensitively against what exists, so that
// "C:\WINDOWS\inf" and "C:\Windows\INF" name the same directory.
#pragma once

#include <cstdio>

#include "win32_base.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080

typedef struct _WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
} WIN32_FIND_DATAW, *PWIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;

// hModule null: the running program, as the machine reports it (by default
// the host path of the executable under "Z:\"). A buffer that is too small
// receives the truncated, terminated path; the result is then nSize and the
// last error ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

// "C:\Windows". Returns the length without terminator, or the size needed
// including the terminator when uSize is too small.
UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize);

// Wildcards '*' and '?' in the last component, matched case-insensitively;
// entries come in case-insensitive name order (as NTFS lists them).
// No match: ERROR_FILE_NOT_FOUND; missing directory: ERROR_PATH_NOT_FOUND.
HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);
BOOL WINAPI FindClose(HANDLE hFindFile);

// The C runtime's shared-mode open, with the path mapped as above. The share
// flag is accepted and has no effect (the host does not lock files).
#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40
FILE* _fsopen(const char* filename, const char* mode, int shflag);
FILE* _wfsopen(const wchar_t* filename, const wchar_t* mode, int shflag);
