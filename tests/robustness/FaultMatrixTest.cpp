// Every driver request the library issues, failed once at each place where
// the library issues it, while two monitors run and frames flow: the library
// must log the failure, keep serving the other monitor, stay usable for the
// next plug, unplug, uninitialise and initialise (frames arrive again), and
// give back everything it took. A few Direct3D failures of the indirect
// display path ride along.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "RobustnessTest.h"
#include "driver/ALIoctlCode.h"
#include "platform/d3d11.h"

namespace {

// Where the request is issued, and what the test does to get it issued.
enum class Site {
    Initialize,         // indirect: the process introduction of Initialize
    AdapterCheck,       // hook: IsInitializationNeeded
    Plug,               // a third monitor's start
    PlugRollback,       // hook: a refused plug request undoes the subscription
    FrameUpdate,        // per frame: hook zero-copy (update flags 2), indirect acquisition and copy
    VisibilityOff,      // hook: visibility FALSE unmaps
    VisibilityOn,       // hook: visibility TRUE after FALSE maps again
    SwapchainUnassign,  // indirect: the swap-chain events retrieved on the unassign signal
    SwapchainReassign,  // indirect: unassign, then assign: subscription and swap-chain start
    Stop,               // DisplayMonitorUnplug of the first monitor
    Uninitialize,       // Uninitialize(true) with both monitors running
    PowerResume,        // a monitor left plugged, unplugged on power resume
    PersistSetting,     // the thread list's persist-on-close setting (no INimboApi operation issues it)
};

struct D3DFault {
    MachineD3DCall Call;
    HRESULT hr;
    unsigned Skip;
};

struct FaultCase {
    const char* Name;
    DriverKind Driver;
    Site Where;
    DWORD Code;                      // the request failed; 0 for a Direct3D failure
    DWORD Error;                     // its Win32 error
    const wchar_t* pLogged;          // the failure text of the request (or of the Direct3D step)
    const wchar_t* pLoggedCaller;    // the caller's text, or null
    std::optional<D3DFault> Direct3D;
    bool bPlugSucceeds = true;       // Site::Plug and Site::PlugRollback: the plug's result
    bool bFaultedStillServed = false;  // the first monitor receives the next frame as well
};

void PrintTo(const FaultCase& Case, std::ostream* pOut) { *pOut << Case.Name; }

constexpr DriverKind Hook = DriverKind::Hook;
constexpr DriverKind Indirect = DriverKind::Indirect;

const FaultCase kCases[] = {
    // --- hook display driver ---------------------------------------------------------------
    {"HookAdapterQueryAtPlug", Hook, Site::Plug, ALIoctlCode::HookDriverAdapterIsActive, ERROR_NOT_READY,
     L"ALDeviceControlHook::IoctlHookDriverAdapterIsActive DeviceIoControl failed! GetLastErrorReturned: 21\n",
     L"ALThreadFrameBufferHook::PrivateInitialize IoctlHookDriverAdapterIsActive failed! No active adapter found\n",
     std::nullopt, true},
    {"HookSubscribeAtPlug", Hook, Site::Plug, ALIoctlCode::MonitorEventsSubscribe, ERROR_NOT_ENOUGH_MEMORY,
     L"ALDeviceControlHook::IoctlMonitorEventsSubscribe DeviceIoControl failed! GetLastErrorReturned: 8\n",
     L"ALMonitorHook::Plug DeviceControl.IoctlMonitorEventsSubscribe failed!\n", std::nullopt, true},
    {"HookEdidAtPlug", Hook, Site::Plug, ALIoctlCode::MonitorEdidSet, ERROR_INVALID_PARAMETER,
     L"ALDeviceControlHook::IoctlMonitorEdidSet DeviceIoControl failed! GetLastErrorReturned: 87\n",
     L"ALMonitorHook::Plug DeviceControl.IoctlMonitorEdidSet failed!\n", std::nullopt, true},
    {"HookPlugAtPlug", Hook, Site::Plug, ALIoctlCode::MonitorPlug, ERROR_GEN_FAILURE,
     L"ALDeviceControlHook::IoctlMonitorPlug DeviceIoControl failed! GetLastErrorReturned: 31\n",
     L"ALThreadFrameBufferHook::PrivateInitialize FrameBuffer.DesktopAttach failed!\n", std::nullopt, true},
    // The subscription stays in the driver: that slot refuses every retry until the file closes.
    {"HookUnsubscribeAtPlugRollback", Hook, Site::PlugRollback, ALIoctlCode::MonitorEventUnsubscribe,
     ERROR_DEVICE_REMOVED,
     L"ALDeviceControlHook::IoctlMonitorEventUnsubscribe DeviceIoControl failed! GetLastErrorReturned: 1617\n",
     L"ALApiHighLevel::DisplayMonitorPlug pThreadFrameBuffer->Start failed!\n", std::nullopt, false},
    {"HookZeroCopyUpdatePerFrame", Hook, Site::FrameUpdate, ALIoctlCode::MonitorFrameBufferZeroCopyUpdate,
     ERROR_BUSY,
     L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUpdate DeviceIoControl failed! GetLastErrorReturned: "
     L"170\n",
     // the auxiliary buffer is handed back all the same, with a null address
     L"ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged FrameBuffer.ZeroCopyUnmap failed!\n", std::nullopt,
     true, true},
    {"HookZeroCopyUnmapPerFrame", Hook, Site::FrameUpdate, ALIoctlCode::MonitorFrameBufferZeroCopyUnmap,
     ERROR_INVALID_PARAMETER,
     L"ALDeviceControlHook::IoctlMonitorFrameBufferZeroCopyUnmap DeviceIoControl failed! GetLastErrorReturned: "
     L"87\n",
     L"ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged FrameBuffer.ZeroCopyUnmap failed!\n", std::nullopt,
     true, true},
    {"HookUnmapOnVisibilityOff", Hook, Site::VisibilityOff, ALIoctlCode::MonitorFrameBufferUnmap,
     ERROR_DEVICE_NOT_CONNECTED,
     L"ALDeviceControlHook::IoctlMonitorFrameBufferUnmap DeviceIoControl failed! GetLastErrorReturned: 1167\n",
     L"ALMonitorHook::Unmap IoctlMonitorFrameBufferUnmap failed!\n"},
    {"HookMapOnVisibilityOn", Hook, Site::VisibilityOn, ALIoctlCode::MonitorFrameBufferMap, ERROR_NOT_ENOUGH_MEMORY,
     L"ALDeviceControlHook::IoctlMonitorFrameBufferMap DeviceIoControl failed! GetLastErrorReturned: 8\n",
     L"ALMonitorHook::Map IoctlMonitorFrameBufferMap failed!\n"},
    {"HookUnmapAtStop", Hook, Site::Stop, ALIoctlCode::MonitorFrameBufferUnmap, ERROR_GEN_FAILURE,
     L"ALDeviceControlHook::IoctlMonitorFrameBufferUnmap DeviceIoControl failed! GetLastErrorReturned: 31\n",
     L"ALMonitorHook::Unmap IoctlMonitorFrameBufferUnmap failed!\n"},
    {"HookUnsubscribeAtStop", Hook, Site::Stop, ALIoctlCode::MonitorEventUnsubscribe, ERROR_DEVICE_NOT_CONNECTED,
     L"ALDeviceControlHook::IoctlMonitorEventUnsubscribe DeviceIoControl failed! GetLastErrorReturned: 1167\n",
     nullptr},
    {"HookUnplugAtStop", Hook, Site::Stop, ALIoctlCode::MonitorUnplug, ERROR_DEVICE_REMOVED,
     L"ALDeviceControlHook::IoctlMonitorUnplug DeviceIoControl failed! GetLastErrorReturned: 1617\n", nullptr},
    {"HookUnplugAtUninitialize", Hook, Site::Uninitialize, ALIoctlCode::MonitorUnplug, ERROR_GEN_FAILURE,
     L"ALDeviceControlHook::IoctlMonitorUnplug DeviceIoControl failed! GetLastErrorReturned: 31\n", nullptr},
    {"HookUnplugOnPowerResume", Hook, Site::PowerResume, ALIoctlCode::MonitorUnplug, ERROR_DEVICE_NOT_CONNECTED,
     L"ALDeviceControlHook::IoctlMonitorUnplug DeviceIoControl failed! GetLastErrorReturned: 1167\n",
     L"ALListFrameBufferThreads::MonitorUnplugMissingUponPowerResume failed!\n"},
    {"HookAdapterQueryOfInitializationCheck", Hook, Site::AdapterCheck, ALIoctlCode::HookDriverAdapterIsActive,
     ERROR_DEVICE_NOT_CONNECTED,
     L"ALDeviceControlHook::IoctlHookDriverAdapterIsActive DeviceIoControl failed! GetLastErrorReturned: 1167\n",
     L"ALApiHighLevel::IsInitializationNeeded IoctlHookDriverAdapterIsActive failed! No active adapter found\n"},
    {"HookPersistOnClose", Hook, Site::PersistSetting, ALIoctlCode::MonitorPersistOnClose, ERROR_NOT_SUPPORTED,
     L"ALDeviceControlHook::IoctlMonitorPersistOnClose DeviceIoControl failed! GetLastErrorReturned: 50\n",
     L"ALListFrameBufferThreads::MonitorConnectionPersistSet IoctlMonitorPersistOnClose failed!\n"},

    // --- indirect display driver -------------------------------------------------------------
    {"IndirectIntroductionAtInitialize", Indirect, Site::Initialize, ALIoctlCode::ProcessApplicationHandleSet,
     ERROR_ACCESS_DENIED,
     L"ALDeviceControlIddCx::PrivateIoctlProcessApplicationHandleSet DeviceIoControl failed! GetLastErrorReturned: "
     L"5\n",
     L"ALApiHighLevel::Initialize failed! IddCx driver not available"},
    {"IndirectPlugAtPlug", Indirect, Site::Plug, ALIoctlCode::MonitorPlug, ERROR_GEN_FAILURE,
     L"ALDeviceControlIddCx::IoctlMonitorPlug DeviceIoControl failed! GetLastErrorReturned: 31\n",
     L"ALThreadFrameBufferIddCxApi::PrivateInitialize Monitor.Plug failed!\n", std::nullopt, false},
    {"IndirectAcquirePerFrame", Indirect, Site::FrameUpdate, ALIoctlCode::MonitorFrameBufferDirectXAcquire,
     ERROR_INVALID_USER_BUFFER,
     L"ALDeviceControlIddCx::IoctlMonitorFrameBufferDirectXAcquire DeviceIoControl failed! GetLastErrorReturned: "
     L"1784\n",
     L"ALThreadFrameBufferIddCxSwapChain::Run PrivateResourceAcquire failed!\n"},
    {"IndirectRetrieveOnUnassign", Indirect, Site::SwapchainUnassign, ALIoctlCode::MonitorSwapchainEventsRetrieve,
     ERROR_DEVICE_REMOVED,
     L"ALDeviceControlIddCx::IoctlMonitorSwapchainEventsRetrieve DeviceIoControl failed! GetLastErrorReturned: "
     L"1617\n",
     nullptr},
    {"IndirectSubscribeOnReassign", Indirect, Site::SwapchainReassign, ALIoctlCode::MonitorFrameBufferEventsSubscribe,
     ERROR_NOT_ENOUGH_MEMORY,
     L"ALDeviceControlIddCx::IoctlMonitorFrameBufferEventsSubscribe DeviceIoControl failed! GetLastErrorReturned: "
     L"8\n",
     L"ALThreadFrameBufferIddCxApi::PrivateOnEventSwapchainAssign Monitor.FrameBufferEventsSubscribe failed!\n"},
    {"IndirectUnplugAtStop", Indirect, Site::Stop, ALIoctlCode::MonitorUnplug, ERROR_DEVICE_NOT_CONNECTED,
     L"ALDeviceControlIddCx::IoctlMonitorUnplug DeviceIoControl failed! GetLastErrorReturned: 1167\n", nullptr},
    {"IndirectUnplugAtUninitialize", Indirect, Site::Uninitialize, ALIoctlCode::MonitorUnplug, ERROR_GEN_FAILURE,
     L"ALDeviceControlIddCx::IoctlMonitorUnplug DeviceIoControl failed! GetLastErrorReturned: 31\n", nullptr},
    {"IndirectUnplugOnPowerResume", Indirect, Site::PowerResume, ALIoctlCode::MonitorUnplug, ERROR_INVALID_PARAMETER,
     L"ALDeviceControlIddCx::IoctlMonitorUnplug DeviceIoControl failed! GetLastErrorReturned: 87\n",
     L"ALListFrameBufferThreads::MonitorUnplugMissingUponPowerResume failed!\n"},
    {"IndirectPersistOnClose", Indirect, Site::PersistSetting, ALIoctlCode::MonitorPersistOnClose,
     ERROR_NOT_SUPPORTED,
     L"ALDeviceControlIddCx::IoctlMonitorPersistOnClose DeviceIoControl failed! GetLastErrorReturned: 50\n",
     L"ALListFrameBufferThreads::MonitorConnectionPersistSet IoctlMonitorPersistOnClose failed!\n"},

    // --- Direct3D on the indirect display path -------------------------------------------------
    {"Direct3DDeviceOnReassign", Indirect, Site::SwapchainReassign, 0, 0,
     L"ALThreadFrameBufferIddCxSwapChain::Start m_ResourceManager.Initialize failed!\n",
     L"ALThreadFrameBufferIddCxApi::PrivateOnEventSwapchainAssign ThreadDxResource.Start failed!\n",
     D3DFault{MachineD3DCall::DeviceCreate, E_OUTOFMEMORY, 0}},
    {"Direct3DSecondTextureOnReassign", Indirect, Site::SwapchainReassign, 0, 0,
     L"ALThreadFrameBufferIddCxSwapChain::Start m_ResourceManager.CreateResourceInSystemMemory (2) failed!\n",
     L"ALThreadFrameBufferIddCxApi::PrivateOnEventSwapchainAssign ThreadDxResource.Start failed!\n",
     D3DFault{MachineD3DCall::TextureCreate, E_OUTOFMEMORY, 1}},
    {"Direct3DSharedTextureOpenPerFrame", Indirect, Site::FrameUpdate, 0, 0,
     L"DXResourceManager::CopyFromSharedResource OpenSharedResource1 failed! 0x80070057\n",
     L"ALThreadFrameBufferIddCxSwapChain::Run PrivateResourceCopy failed!\n",
     D3DFault{MachineD3DCall::SharedResourceOpen, E_INVALIDARG, 0}},
    {"Direct3DMapPerFrame", Indirect, Site::FrameUpdate, 0, 0, L"DXResourceManager::ResourceMap Map failed! 0x887a0005\n",
     L"ALThreadFrameBufferIddCxApi::PrivateOnEventFrameBufferChanged ThreadDxResource.Extract failed!\n",
     D3DFault{MachineD3DCall::Map, DXGI_ERROR_DEVICE_REMOVED, 0}, true, true},
};

class FaultMatrixTest : public RobustnessTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    // Library worker threads of one running monitor.
    static long WorkersPerMonitor(DriverKind Driver) { return Driver == Hook ? 1 : 2; }

    void FaultArm(const FaultCase& Case) {
        if (Case.Direct3D)
            MachineD3DFailNext(Case.Direct3D->Call, Case.Direct3D->hr, Case.Direct3D->Skip);
        else
            DriverOf(Case.Driver).Faults().FailNext(Case.Code, Case.Error);
    }

    // Whether the driver answered a request of the case's code with its error.
    bool FaultDelivered(const FaultCase& Case) {
        for (const auto& Request : DriverOf(Case.Driver).Requests().ListOfCode(Case.Code))
            if (Request.Error == Case.Error)
                return true;
        return false;
    }

    // Drives the library to the site with the fault armed. Frames keep
    // flowing on the second monitor unless its own requests could take the
    // fault meant for the first.
    void SiteDrive(const FaultCase& Case, PluggedMonitor& First, PluggedMonitor& Second) {
        SitePrepare(Case, First);
        if (Case.Where == Site::Initialize) {
            m_pApi->Uninitialize(true);
            First.bPlugged = Second.bPlugged = false;
        }
        FaultArm(Case);
        if (Case.Where == Site::PlugRollback)
            m_pHookDriver->Faults().FailNext(ALIoctlCode::MonitorPlug, ERROR_GEN_FAILURE);
        if (Second.bPlugged && Case.Where != Site::FrameUpdate && !Case.Direct3D)
            FramePresent(Case.Driver, Second);
        SiteAct(Case, First, Second);
    }

    // What must happen before the fault is armed.
    void SitePrepare(const FaultCase& Case, PluggedMonitor& First) {
        const uint64_t VisibilityBefore = First.pTally->CountOf(MonitorTally::Kind::Visibility);
        if (Case.Where == Site::VisibilityOn) {
            ASSERT_TRUE(m_pHookDriver->MonitorVisibilitySet(0, First.Index, false));
        } else if (Case.Where == Site::SwapchainReassign) {
            ASSERT_TRUE(m_pIddCxDriver->SwapchainUnassign(First.Index));
        } else {
            if (Case.Where == Site::PowerResume)
                Unplug(First, false);
            return;
        }
        ASSERT_TRUE(First.pTally->WaitForCount(MonitorTally::Kind::Visibility, VisibilityBefore + 1,
                                               kSafetyMilliseconds));
    }

    // What makes the library issue the request.
    void SiteAct(const FaultCase& Case, PluggedMonitor& First, PluggedMonitor& Second) {
        const DriverKind Driver = Case.Driver;
        switch (Case.Where) {
        case Site::Initialize:
            EXPECT_FALSE(Initialize(Driver));
            break;
        case Site::Uninitialize:
            m_pApi->Uninitialize(true);
            First.bPlugged = Second.bPlugged = false;
            break;
        case Site::AdapterCheck:
            EXPECT_TRUE(m_pApi->IsInitializationNeeded(static_cast<int>(Driver)));
            break;
        case Site::Plug:
        case Site::PlugRollback:
            ThirdPlugExpect(Case);
            break;
        case Site::FrameUpdate:
            EXPECT_TRUE(FramePresent(Driver, First, 2));
            break;
        case Site::VisibilityOff:
        case Site::VisibilityOn:
            EXPECT_TRUE(m_pHookDriver->MonitorVisibilitySet(0, First.Index, Case.Where == Site::VisibilityOn));
            break;
        case Site::SwapchainUnassign:
            EXPECT_TRUE(m_pIddCxDriver->SwapchainUnassign(First.Index));
            break;
        case Site::SwapchainReassign:
            EXPECT_TRUE(m_pIddCxDriver->SwapchainAssign(First.Index, LUID{0x0000D3D0, 0}));
            break;
        case Site::Stop:
            Unplug(First);
            break;
        case Site::PowerResume:
            m_pApi->MonitorUnplugMissingUponPowerResume();
            EXPECT_EQ(m_pApi->ListGet().MonitorDescriptionsGet().size(), 1u) << "the failed entry is kept";
            break;
        case Site::PersistSetting:
            m_pApi->ListGet().MonitorConnectionPersistSet(&m_pApi->DeviceControlHookGet(),
                                                          &m_pApi->DeviceControlIddCxGet(), static_cast<int>(Driver),
                                                          true);
            break;
        }
    }

    void ThirdPlugExpect(const FaultCase& Case) {
        PluggedMonitor Third = PlugAt(2);
        EXPECT_EQ(Third.bPlugged, Case.bPlugSucceeds);
        if (!Third.bPlugged)
            return;
        EXPECT_TRUE(FirstFrameAwait(Case.Driver, Third));
        Unplug(Third);
    }

    // Plugs two monitors at Indices and sees frames arrive on both.
    void MonitorsServedExpect(DriverKind Driver, std::initializer_list<uint32_t> Indices) {
        for (uint32_t Index : Indices) {
            PluggedMonitor Monitor = PlugAt(Index);
            EXPECT_TRUE(Monitor.bPlugged) << "index " << Index;
            if (!Monitor.bPlugged)
                continue;
            EXPECT_TRUE(FirstFrameAwait(Driver, Monitor)) << "index " << Index;
            EXPECT_TRUE(FrameDeliver(Driver, Monitor)) << "index " << Index;
        }
    }
};

TEST_P(FaultMatrixTest, OneFailureIsLoggedAndTheLibraryGoesOn) {
    const FaultCase& Case = GetParam();
    const DriverKind Driver = Case.Driver;
    ASSERT_TRUE(Initialize(Driver));
    PluggedMonitor First = PlugAt(0);
    PluggedMonitor Second = PlugAt(1);
    ASSERT_TRUE(First.bPlugged && Second.bPlugged);
    ASSERT_TRUE(FirstFrameAwait(Driver, First) && FirstFrameAwait(Driver, Second));
    ASSERT_TRUE(FrameDeliver(Driver, First) && FrameDeliver(Driver, Second)) << "frames flow on both";
    ASSERT_TRUE(Quiesce(2 * WorkersPerMonitor(Driver))) << "the workers never came to rest";
    MachineDebugClear();

    SiteDrive(Case, First, Second);

    EXPECT_TRUE(LogAwait(Case.pLogged)) << "not logged";
    if (Case.pLoggedCaller != nullptr) {
        EXPECT_TRUE(LogAwait(Case.pLoggedCaller)) << "the caller's text is missing";
    }
    if (!Case.Direct3D) {
        EXPECT_TRUE(FaultDelivered(Case)) << "the armed failure never reached a request";
    }
    if (Case.bFaultedStillServed) {
        EXPECT_TRUE(FrameDeliver(Driver, First, 2)) << "the monitor that met the failure gets no frames";
    }
    if (Second.bPlugged) {
        EXPECT_TRUE(FrameDeliver(Driver, Second)) << "the other monitor is no longer served";
    }

    // The next operations: a plug on a fresh index while the device is open,
    // unplug, uninitialise, initialise, and frames on the slots the failure
    // touched.
    if (Case.Where != Site::Initialize && Case.Where != Site::Uninitialize)
        MonitorsServedExpect(Driver, {3});
    Unplug(First);
    Unplug(Second);
    m_pApi->Uninitialize(true);
    ASSERT_TRUE(Initialize(Driver));
    MonitorsServedExpect(Driver, {0, 2});
    m_pApi->Uninitialize(true);
}

INSTANTIATE_TEST_SUITE_P(Requests, FaultMatrixTest, ::testing::ValuesIn(kCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
