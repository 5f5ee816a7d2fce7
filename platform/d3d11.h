// The way into DXGI, Direct3D 11 and the multimedia class scheduler (avrt)
// for library and test code.
//
// On Windows the SDK headers (ID3D11Multithread lives in d3d11_4.h, which
// brings d3d11_1.h with it); elsewhere the project's own CPU-memory
// implementation of the subset the system calls (platform/posix). Interfaces
// are requested with IID_PPV_ARGS on every build.
#pragma once

#include "win32.h"

#if defined(_WIN32)
#  include <d3d11_4.h>
#  include <dxgi1_2.h>
#  include <avrt.h>
#else
#  include "posix/D3DUnknown.h"
#  include "posix/DxgiApi.h"
#  include "posix/D3D11Api.h"
#  include "posix/AvrtApi.h"
#endif
