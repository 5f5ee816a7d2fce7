// The one way into the Win32 API for library, setup and test code.
//
// On Windows it pulls in the SDK; everywhere else it declares the project's own
// implementation of the Win32 subset the system calls (platform/posix). Code
// outside platform/ includes this header and never tests _WIN32 itself.
#pragma once

#if defined(_WIN32)
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#  include <aclapi.h>
#  include <dbt.h>
#  include <winioctl.h>
#else
#  include "posix/win32_base.h"
#  include "posix/win32_kernel.h"
#  include "posix/win32_registry.h"
#  include "posix/win32_security.h"
#  include "posix/win32_debug.h"
#  include "posix/win32_device.h"
#endif

#include "seh.h"
