// Machine API, registry and security part.
#pragma once

#include <cstddef>

#include "machine_security.h"
#include "win32_base.h"

// A fresh HKEY_LOCAL_MACHINE: only the keys every Windows installation has
// (HARDWARE, SOFTWARE\Microsoft\Windows NT\CurrentVersion,
// SYSTEM\CurrentControlSet\Control\Class, SYSTEM\CurrentControlSet\Services),
// protected as on Windows: SYSTEM and Administrators full access, Users read,
// inherited by the keys below. Handles still open to old keys then fail with
// ERROR_KEY_DELETED.
void MachineRegistryReset();

// Whether the calling account is a member of Administrators (default true,
// as an installer and Wine run). A non-administrator gets only read access to
// the keys that inherit the root's DACL, so opening or creating them with
// KEY_ALL_ACCESS fails with ERROR_ACCESS_DENIED; keys whose DACL grants
// Everyone (or Users) full access stay writable.
void MachineRegistryCallerAdministratorSet(bool bAdministrator);

// Registry key handles currently open (leak checks).
size_t MachineRegistryOpenKeyCount();

// Whether a key exists under HKEY_LOCAL_MACHINE, without access checks.
bool MachineRegistryKeyExists(LPCWSTR lpPath);
