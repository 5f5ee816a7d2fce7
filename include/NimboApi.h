// What a C++ host needs to drive the library's API object directly (linked
// with the static library): INimboApi and NimboApiGet, the monitor instance
// interface to implement, and the records its callbacks receive. Hosts that
// only load the shared library need NimboHighLevelWrapper.h alone.
#pragma once

#include "api/INimboApi.h"
#include "driver/ALHookSharedRecords.h"
#include "interface/INimboApiDisplayMonitorInstance.h"
#include "interface/NimboMonitorRecords.h"
