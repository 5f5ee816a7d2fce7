#pragma once

#include "platform/win32.h"

// Registry access of the library. Every key it writes to, or deletes below,
// exists afterwards; a key it had to create carries a DACL that grants
// Everyone and the Administrators full access. No state, no lock: any
// thread. Failures are logged at AL_DEBUG_ERROR and reported by the result.

// Creates (or opens, with KEY_ALL_ACCESS) pSubKeyPath below hRoot. A new key
// gets the DACL: Everyone KEY_ALL_ACCESS inherited by subkeys and values,
// then Administrators KEY_ALL_ACCESS not inherited. An existing key keeps its
// own security. On success the caller owns *phKey (RegCloseKey).
bool ALUtilPrivateRegistryKeyCreateWithEveryoneAccess(HKEY hRoot, LPCWSTR pSubKeyPath, HKEY* phKey);

// Reads a value of any type into pData; *pDataSize holds the buffer's size
// in bytes on entry and the bytes read on return. The key is only opened,
// never created. On failure nothing is stored into pData by this function.
bool ALUtilRegistryValueGet(HKEY hRoot, LPCWSTR pSubKeyPath, LPCWSTR pValueName, BYTE* pData, DWORD* pDataSize);

// Writes a value of the given type, creating the key path when missing.
bool ZKLUtilRegistryValueSet(HKEY hRoot, LPCWSTR pKeyPath, LPCWSTR pValueName, DWORD Type, const BYTE* pData,
                             DWORD DataSize);

// Deletes pSubKeyName with all its values and subkeys below pKeyPath,
// creating pKeyPath when missing.
void ZKLUtilRegistryKeyDelete(HKEY hRoot, LPCWSTR pKeyPath, LPCWSTR pSubKeyName);
