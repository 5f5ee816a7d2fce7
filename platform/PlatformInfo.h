// Facts about the Win32 implementation the program runs on, for tests that
// must tell a known deviation of Wine from the documented behaviour.
#pragma once

// True when running under Wine (its ntdll exports wine_get_version); false on
// Windows and on the simulated platform.
bool PlatformIsWine();

// The short name some tests use.
inline bool IsWine() { return PlatformIsWine(); }
