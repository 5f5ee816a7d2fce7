// The test-facing "machine" API of the simulated platform: reset state, seed
// the registry, read the debug output, and so on. It exists only on the
// simulated (non-Windows) platform; tests that need it are native-only.
#pragma once

#if defined(_WIN32)
#error "platform/machine.h exists only on the simulated platform"
#endif

#include "posix/machine_kernel.h"
#include "posix/machine_registry.h"
#include "posix/machine_debug.h"
#include "posix/machine_device.h"
#include "posix/machine_setup.h"
#include "posix/machine_d3d.h"
#include "posix/machine_console.h"
