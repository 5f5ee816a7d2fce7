// Plug and Play re-enumeration and the location of the driver's INF file.
#pragma once

#include <string>

namespace IDDUtilities {

// Asks Plug and Play to re-enumerate the whole device tree, synchronously.
// True when the request succeeded.
bool ScanForHardwareChanges();

// path = the setup program's own directory + "\" + infName, or empty when
// the program's path cannot be found.
void GetInfFilePath(const std::wstring& infName, std::wstring& path);

}  // namespace IDDUtilities
