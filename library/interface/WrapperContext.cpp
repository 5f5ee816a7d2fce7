#include "interface/WrapperContext.h"

#include <cstdio>
#include <new>

#include "api/INimboApi.h"
#include "interface/KorvaxHaldenDisplay.h"
#include "platform/ConsolePause.h"

WrapperContext* WrapperContext::InstanceGet() {
    // A function-local static: the language makes its initialization
    // thread-safe. Never deleted: the exports may be called until the end.
    static WrapperContext* const pContext = new (std::nothrow) WrapperContext();
    return pContext;
}

int WrapperContext::DriverInitialize(LPCWSTR DeviceControlName, int ApiType) {
    pApiHighLevel = NimboApiGet();
    if (pApiHighLevel == nullptr) {
        printf("Nimbo API: NimboApiGet failed!\n");
        return 1;
    }
    if (pApiHighLevel->Initialize(DeviceControlName, ApiType))
        return 0;
    printf("Nimbo API: pApiHighLevel->Initialize failed!\n");
    return 1;
}

int WrapperContext::MonitorPlug(int First, int Second) {
    if (pApiHighLevel == nullptr)
        return 0;
    KorvaxHaldenDisplay* pDisplay = new (std::nothrow) KorvaxHaldenDisplay();
    pDisplayMonitorInstance = pDisplay;
    if (pDisplay == nullptr) {
        printf("Nimbo API: failed! No memory\n");
        PrivatePlugAbandon();
        return 0;
    }
    // Crosswise: the mode entry holds the second value first.
    pDisplay->ModeValue1 = First;
    pDisplay->ModeValue0 = Second;
    if (!pApiHighLevel->DisplayMonitorPlug(pDisplay)) {
        printf("Nimbo API: pApiHighLevel->DisplayMonitorPlug failed!\n");
        PrivatePlugAbandon();
        // No thread took the instance: it is still ours to reclaim, and only
        // after the thread list (which may still name it) has been emptied.
        delete pDisplay;
        pDisplayMonitorInstance = nullptr;
    }
    return 0;
}

int WrapperContext::MonitorUnplug() {
    if (pApiHighLevel != nullptr)
        pApiHighLevel->DisplayMonitorUnplug(pDisplayMonitorInstance, true);
    return 0;
}

int WrapperContext::ApiUninitialize() {
    if (pApiHighLevel != nullptr)
        pApiHighLevel->Uninitialize(true);
    return 0;
}

int WrapperContext::DisplayIdGet() {
    if (pApiHighLevel == nullptr)
        return 0;
    LUID adapterLuid{};
    int targetId = 0;
    int VideoPresentTargetId = 0;
    pApiHighLevel->DisplayMonitorAssignmentEnumerate(0, &targetId, &VideoPresentTargetId, &adapterLuid);
    // Only the indirect display path reports an adapter.
    if (adapterLuid.LowPart != 0 || adapterLuid.HighPart != 0)
        return VideoPresentTargetId;
    return 0;
}

// A plug that cannot go on: the host sees the text and the pause, and the
// whole library is stopped.
void WrapperContext::PrivatePlugAbandon() {
    PlatformConsolePause();
    pApiHighLevel->Uninitialize(true);
}
