// Shell path helpers and recursive key deletion (shlwapi) of the simulated
// platform. Paths are MAX_PATH buffers of backslash-separated components.
#pragma once

#include "win32_base.h"
#include "win32_registry.h"

// Appends pszMore with one backslash between; FALSE (path unchanged) when the
// result would not fit in MAX_PATH characters with its terminator.
BOOL WINAPI PathAppendW(LPWSTR pszPath, LPCWSTR pszMore);
// Leaves only the last component ("C:\a\b.inf" -> "b.inf").
void WINAPI PathStripPathW(LPWSTR pszPath);
// Removes the last component and its backslash ("C:\a\b" -> "C:\a",
// "C:\a" -> "C:\"); FALSE when nothing was removed.
BOOL WINAPI PathRemoveFileSpecW(LPWSTR pszPath);
// Deletes the key with all its subkeys and values.
LSTATUS WINAPI SHDeleteKeyW(HKEY hKey, LPCWSTR pszSubKey);
