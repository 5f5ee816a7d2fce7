// The library's six exports: each gets the process's wrapper context and
// hands the call to it.
#include "NimboHighLevelWrapper.h"

#include "api/INimboApi.h"
#include "interface/WrapperContext.h"

namespace {

const wchar_t kHookDeviceControlName[] = L"\\\\.\\NimboHookCtrlvantor";
const wchar_t kIddCxDeviceControlName[] = L"\\\\.\\NimboIndirectCtrlkorvaxHalden";

// Runs an export's body on the context. Nothing may unwind into a C host:
// an exception (or a context that could not be made) ends the call with the
// export's failure result.
template <typename Body>
int ExportRun(int FailureResult, Body ContextCall) {
    try {
        WrapperContext* pContext = WrapperContext::InstanceGet();
        return pContext != nullptr ? ContextCall(*pContext) : FailureResult;
    } catch (...) {
        return FailureResult;
    }
}

}  // namespace

extern "C" int InitializeHookDriver(void) {
    return ExportRun(1, [](WrapperContext& Context) {
        return Context.DriverInitialize(kHookDeviceControlName, NIMBO_API_TYPE_HOOK_DRIVER);
    });
}

extern "C" int InitializeIddxDriver(void) {
    return ExportRun(1, [](WrapperContext& Context) {
        return Context.DriverInitialize(kIddCxDeviceControlName, NIMBO_API_TYPE_IDDCX_DRIVER);
    });
}

extern "C" int PlugMonitor(int First, int Second) {
    return ExportRun(0, [=](WrapperContext& Context) { return Context.MonitorPlug(First, Second); });
}

extern "C" int UnplugMonitor(void) {
    return ExportRun(0, [](WrapperContext& Context) { return Context.MonitorUnplug(); });
}

extern "C" int Uninitialize(void) {
    return ExportRun(0, [](WrapperContext& Context) { return Context.ApiUninitialize(); });
}

extern "C" int GetDisplayId(void) {
    return ExportRun(0, [](WrapperContext& Context) { return Context.DisplayIdGet(); });
}
