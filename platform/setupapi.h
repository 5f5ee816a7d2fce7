// Device installation, INF files, configuration manager, shell path helpers,
// version checks, the message box, file search and the GUI entry point: the
// part of the Win32 API that the driver setup program (and the library's
// device enumeration) reach beyond platform/win32.h.
//
// On Windows it pulls in the SDK headers; everywhere else the simulated
// machine's declarations (platform/posix), whose device tree, INF store and
// C:\ drive tests inspect through platform/machine.h.
#pragma once

#include "win32.h"

#if defined(_WIN32)
#  include <setupapi.h>
#  include <newdev.h>
#  include <cfgmgr32.h>
#  include <shlwapi.h>
#  include <share.h>
#  include <cstdio>
#else
#  include "posix/win32_versioninfo.h"
#  include "posix/win32_filesystem.h"
#  include "posix/win32_shell.h"
#  include "posix/win32_messagebox.h"
#  include "posix/win32_setupapi.h"
#  include "posix/win32_deviceinterface.h"
#  include "posix/win32_cfgmgr.h"
#endif
