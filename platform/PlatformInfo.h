// Facts about the Win32 implementation the program runs on, for marking the
// known deviations of Wine in conformance tests.
#pragma once

// True when running under Wine (ntdll exports wine_get_version); false on
// Windows and on the simulated platform.
bool PlatformIsWine();
