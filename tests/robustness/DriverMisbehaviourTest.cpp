// A driver that misbehaves towards one monitor while a second one runs:
// corrupt ring headers, a rectangle larger than the frame, a request that
// does not come back, a driver that goes quiet, events closed under the
// library, a stale shared texture handle, a swap-chain event of an unknown
// type. The library must stay inside its memory (the address sanitizer
// watches), keep serving the second monitor, and end cleanly (the fixture
// checks that everything was given back).
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <thread>

#include "RobustnessTest.h"
#include "driver/ALHookIoctlRecords.h"
#include "driver/ALIddCxRecords.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"

namespace {

constexpr LUID kRenderLuid{0x0000D3D0, 0};

class DriverMisbehaviourTest : public RobustnessTest {
protected:
    static long WorkersPerMonitor(DriverKind Driver) { return Driver == DriverKind::Hook ? 1 : 2; }

    // Two monitors with frames flowing, the workers at rest, the log empty.
    void TwoMonitorsStart(DriverKind Driver) {
        m_Driver = Driver;
        ASSERT_TRUE(Initialize(Driver));
        m_First = PlugAt(0);
        m_Second = PlugAt(1);
        ASSERT_TRUE(m_First.bPlugged && m_Second.bPlugged);
        ASSERT_TRUE(FirstFrameAwait(Driver, m_First) && FirstFrameAwait(Driver, m_Second));
        ASSERT_TRUE(FrameDeliver(Driver, m_First) && FrameDeliver(Driver, m_Second));
        ASSERT_TRUE(Quiesce(2 * WorkersPerMonitor(Driver)));
        MachineDebugClear();
    }
    // The second monitor still receives frames, and both unplug.
    void SecondServedAndBothEnd() {
        EXPECT_TRUE(FrameDeliver(m_Driver, m_Second)) << "the other monitor is no longer served";
        Unplug(m_First);
        EXPECT_TRUE(m_First.pTally->WaitForDeleted(kSafetyMilliseconds));
        EXPECT_EQ(m_First.pTally->CountOf(MonitorTally::Kind::MonitorStop), 1u);
        Unplug(m_Second);
        EXPECT_FALSE(DriverHasMonitor(m_Driver, 0));
        EXPECT_FALSE(DriverHasMonitor(m_Driver, 1));
    }
    static size_t LinesWith(const std::wstring& Fragment) {
        size_t Count = 0;
        for (const auto& Line : MachineDebugLines())
            Count += Line.find(Fragment) != std::wstring::npos ? 1 : 0;
        return Count;
    }
    // The last successful request of Code for the monitor at Index, as the
    // driver saw it; MonitorIndexOf reads the index from its record.
    template <typename IndexOf>
    SimRequest RequestOfMonitor(DWORD Code, uint32_t Index, IndexOf MonitorIndexOf) {
        SimRequest Found;
        for (const auto& Request : DriverOf(m_Driver).Requests().ListOfCode(Code))
            if (Request.Error == ERROR_SUCCESS && MonitorIndexOf(Request) == Index)
                Found = Request;
        EXPECT_EQ(Found.Code, Code) << "no such request";
        return Found;
    }
    static uint32_t IndexInput(const SimRequest& Request) { return Request.InputAs<uint32_t>(); }

    DriverKind m_Driver = DriverKind::Hook;
    PluggedMonitor m_First;
    PluggedMonitor m_Second;
};

// --- corrupt ring headers (hook) ------------------------------------------------------------

struct RingCorruption {
    const char* Name;
    SimHookDriver::Ring Which;
    CircularBufferHeader Header;  // written over the ring's header
    const wchar_t* pLogged;
};

void PrintTo(const RingCorruption& Case, std::ostream* pOut) { *pOut << Case.Name; }

// Event ring: 64 elements of 12 bytes; update ring: 32 of 36 (the driver's defaults).
const RingCorruption kCorruptions[] = {
    {"EventRingConsumerFarBeyond", SimHookDriver::Ring::MonitorEvents, {0, 0x40000000u, 64, 12, 0},
     L"ALCircularBufferReader::ElementTake failed! EVT ring Consumer 1073741824 at or beyond CountElements 64, read "
     L"as empty\n"},
    {"EventRingCapacityZero", SimHookDriver::Ring::MonitorEvents, {1, 0, 0, 12, 0},
     L"ALCircularBufferReader::ElementTake failed! EVT ring CountElements 0, read as empty\n"},
    {"EventRingCapacityGrown", SimHookDriver::Ring::MonitorEvents, {1, 0, 0xFFFFFFFFu, 12, 0},
     L"ALCircularBufferReader::ElementTake failed! EVT ring CountElements 4294967295, announced 64, read as empty\n"},
    {"UpdateRingConsumerBeyond", SimHookDriver::Ring::Updates, {0, 32, 32, 36, 0},
     L"ALCircularBufferReader::ElementTake failed! UPD ring Consumer 32 at or beyond CountElements 32, read as "
     L"empty\n"},
    {"UpdateRingProducerBeyond", SimHookDriver::Ring::Updates, {0x7FFFFFFFu, 0, 32, 36, 0},
     L"ALCircularBufferReader::ElementTake failed! UPD ring Producer 2147483647 at or beyond CountElements 32, read "
     L"as empty\n"},
    {"UpdateRingCapacityShrunk", SimHookDriver::Ring::Updates, {3, 0, 2, 36, 0},
     L"ALCircularBufferReader::ElementTake failed! UPD ring CountElements 2, announced 32, read as empty\n"},
};

class RingCorruptionTest : public DriverMisbehaviourTest, public ::testing::WithParamInterface<RingCorruption> {
protected:
    // Makes the library read the corrupted ring without the driver writing
    // its header again: visibility events for the event ring, an overflow
    // mark for the update ring.
    void RingReadMake(const RingCorruption& Case) {
        if (Case.Which == SimHookDriver::Ring::MonitorEvents)
            m_pHookDriver->MonitorPowerEventEmit(0, m_First.Index, 1, 2);
        else
            ASSERT_TRUE(m_pHookDriver->UpdateRingOverflowRaise(0, m_First.Index));
    }
};

TEST_P(RingCorruptionTest, ReadsAsEmptyIsLoggedOnceAndTheOtherMonitorIsServed) {
    const RingCorruption& Case = GetParam();
    TwoMonitorsStart(DriverKind::Hook);
    ASSERT_TRUE(m_pHookDriver->RingHeaderWrite(0, m_First.Index, Case.Which, Case.Header));
    const uint64_t FramesBefore = m_First.pTally->CountOf(MonitorTally::Kind::FrameBufferUpdate);
    RingReadMake(Case);
    ASSERT_TRUE(LogAwait(Case.pLogged));
    if (Case.Which == SimHookDriver::Ring::Updates) {
        // An unreadable update ring still updates the whole frame.
        ASSERT_TRUE(m_First.pTally->WaitForCount(MonitorTally::Kind::FrameBufferUpdate, FramesBefore + 1,
                                                 kSafetyMilliseconds));
        const RECT Whole = m_First.pTally->LastRectangleGet();
        EXPECT_EQ(Whole.left, 0);
        EXPECT_EQ(Whole.right, static_cast<LONG>(kWidth));
        EXPECT_EQ(Whole.bottom, static_cast<LONG>(kHeight));
    }
    // Again, and with frames on both monitors meanwhile: the cause is logged once.
    RingReadMake(Case);
    EXPECT_TRUE(FrameDeliver(DriverKind::Hook, m_Second));
    FramePresent(DriverKind::Hook, m_First);
    EXPECT_TRUE(FrameDeliver(DriverKind::Hook, m_Second));
    ASSERT_TRUE(Quiesce(2));
    EXPECT_EQ(LinesWith(Case.pLogged), 1u);
    SecondServedAndBothEnd();
}

INSTANTIATE_TEST_SUITE_P(Headers, RingCorruptionTest, ::testing::ValuesIn(kCorruptions),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// --- rectangles larger than the frame -----------------------------------------------------------

class OversizedRectangleTest : public DriverMisbehaviourTest, public ::testing::WithParamInterface<DriverKind> {};

// The library hands the driver's rectangle on as it came (only merged
// rectangles are clamped) and never reads the frame itself; the instance
// reads only inside the frame, so nothing outside any buffer is touched.
TEST_P(OversizedRectangleTest, IsHandedOnWithoutReadingOutsideTheFrame) {
    TwoMonitorsStart(GetParam());
    const RECT Huge{-4096, -4096, 1 << 20, 1 << 20};
    const uint64_t Before = m_First.pTally->CountOf(MonitorTally::Kind::FrameBufferUpdate);
    if (m_Driver == DriverKind::Hook)
        ASSERT_TRUE(m_pHookDriver->FrameUpdateAnnounce(0, m_First.Index, Huge, 0));
    else
        ASSERT_TRUE(m_pIddCxDriver->FramePresentRect(m_First.Index, Huge));
    ASSERT_TRUE(m_First.pTally->WaitForCount(MonitorTally::Kind::FrameBufferUpdate, Before + 1, kSafetyMilliseconds));
    const RECT Delivered = m_First.pTally->LastRectangleGet();
    EXPECT_EQ(Delivered.left, Huge.left);
    EXPECT_EQ(Delivered.bottom, Huge.bottom);
    // With zero-copy flags on the hook driver, and a normal frame after it.
    if (m_Driver == DriverKind::Hook) {
        ASSERT_TRUE(m_pHookDriver->FrameUpdateAnnounce(0, m_First.Index, Huge, 2));
    }
    EXPECT_TRUE(FrameDeliver(m_Driver, m_First));
    SecondServedAndBothEnd();
}

INSTANTIATE_TEST_SUITE_P(Drivers, OversizedRectangleTest, ::testing::Values(DriverKind::Hook, DriverKind::Indirect),
                         [](const auto& Info) { return Info.param == DriverKind::Hook ? "Hook" : "Indirect"; });

// --- a request that does not come back, a driver that goes quiet ------------------------------

class StuckRequestTest : public DriverMisbehaviourTest, public ::testing::WithParamInterface<DriverKind> {};

// A per-frame request of the first monitor stays inside the driver: the
// second monitor's thread, on the same device handle, is not held up; when
// the request returns the first monitor goes on.
TEST_P(StuckRequestTest, OtherMonitorIsServedMeanwhileAndTheFirstResumes) {
    TwoMonitorsStart(GetParam());
    const DWORD Code = m_Driver == DriverKind::Hook ? ALIoctlCode::MonitorFrameBufferZeroCopyUpdate
                                                    : ALIoctlCode::MonitorFrameBufferDirectXAcquire;
    auto pGate = DriverOf(m_Driver).Faults().HoldNext(Code);
    ASSERT_TRUE(FramePresent(m_Driver, m_First, 2));
    ASSERT_TRUE(pGate->WaitUntilHeld(kSafetyMilliseconds));
    for (int Frame = 0; Frame < 3; ++Frame)
        EXPECT_TRUE(FrameDeliver(m_Driver, m_Second)) << "frame " << Frame;
    pGate->Release();
    EXPECT_TRUE(FrameDeliver(m_Driver, m_First, 2)) << "the first monitor did not resume";
    SecondServedAndBothEnd();
}

// The first monitor is unplugged while one of its requests is held inside
// the driver: the unplug waits for that request (the requests cannot be
// called back), the second monitor is served all the while, and once the
// request returns the unplug completes and releases everything.
TEST_P(StuckRequestTest, UnplugWaitsForTheHeldRequestWhileTheOtherMonitorIsServed) {
    TwoMonitorsStart(GetParam());
    const DWORD Code = m_Driver == DriverKind::Hook ? ALIoctlCode::MonitorFrameBufferZeroCopyUpdate
                                                    : ALIoctlCode::MonitorFrameBufferDirectXAcquire;
    auto pGate = DriverOf(m_Driver).Faults().HoldNext(Code);
    ASSERT_TRUE(FramePresent(m_Driver, m_First, 2));
    ASSERT_TRUE(pGate->WaitUntilHeld(kSafetyMilliseconds));
    std::thread Unplugger([this] { Unplug(m_First); });
    for (int Frame = 0; Frame < 3; ++Frame)
        EXPECT_TRUE(FrameDeliver(m_Driver, m_Second)) << "frame " << Frame;
    EXPECT_FALSE(m_First.pTally->IsDeleted()) << "the thread left with its request still inside the driver";
    pGate->Release();
    Unplugger.join();
    EXPECT_TRUE(m_First.pTally->IsDeleted());
    SecondServedAndBothEnd();
}

// Nothing at all from the driver for the first monitor: its thread reports
// a heartbeat after ten (machine) seconds and still ends at once.
TEST_P(StuckRequestTest, QuietDriverYieldsHeartbeatsAndStillEndsAtOnce) {
    TwoMonitorsStart(GetParam());
    EXPECT_TRUE(m_First.pTally->WaitForCount(MonitorTally::Kind::Heartbeat, 1, kSafetyMilliseconds));
    EXPECT_TRUE(FrameDeliver(m_Driver, m_Second));
    SecondServedAndBothEnd();
}

INSTANTIATE_TEST_SUITE_P(Drivers, StuckRequestTest, ::testing::Values(DriverKind::Hook, DriverKind::Indirect),
                         [](const auto& Info) { return Info.param == DriverKind::Hook ? "Hook" : "Indirect"; });

// --- handles closed under the library -------------------------------------------------------------

// The event the library handed the hook driver for its monitor events is
// closed behind its back: every wait of that thread fails. It must neither
// spin nor stop answering its exit request.
TEST_F(DriverMisbehaviourTest, HookMonitorEventClosedUnderTheLibrary) {
    TwoMonitorsStart(DriverKind::Hook);
    const SimRequest Subscribe = RequestOfMonitor(ALIoctlCode::MonitorEventsSubscribe, m_First.Index,
                                                  [](const SimRequest& R) { return R.InputAs<IoctlInfoEventsIn>().MonitorIndex; });
    ASSERT_TRUE(CloseHandle(ALRecordField::HandleFrom(Subscribe.InputAs<IoctlInfoEventsIn>().hEventMonitor)));
    // The wait under way goes on with the object; the next one fails.
    FramePresent(DriverKind::Hook, m_First);
    ASSERT_TRUE(LogAwait(L"ALThreadFrameBufferHook::Run WaitForMultipleObjects unexpected result\n"));
    EXPECT_TRUE(FrameDeliver(DriverKind::Hook, m_Second));
    SecondServedAndBothEnd();
}

// The swap-chain event the plug delivered is closed: the thread leaves it out
// of its wait and goes on with the frames, which need only its own events.
TEST_F(DriverMisbehaviourTest, IndirectSwapchainEventClosedUnderTheLibrary) {
    TwoMonitorsStart(DriverKind::Indirect);
    const SimRequest Plug = RequestOfMonitor(ALIoctlCode::MonitorPlug, m_First.Index, [](const SimRequest& R) {
        return R.InputAs<MonitorDescriptionHeader>().MonitorIndex;
    });
    ASSERT_TRUE(
        CloseHandle(ALRecordField::HandleFrom(Plug.OutputReturnedAs<MonitorPlugInfoOut>().hEventSwapchainChanged)));
    // The wait under way goes on with the object; the next one leaves it out.
    EXPECT_TRUE(FrameDeliver(DriverKind::Indirect, m_First));
    ASSERT_TRUE(LogAwait(L"ALThreadFrameBufferIddCxApi::Run wait handle 1 not valid, left out of the wait. "
                         L"MonitorIndex:0\n"));
    EXPECT_TRUE(FrameDeliver(DriverKind::Indirect, m_First)) << "frames no longer need the swap-chain event";
    SecondServedAndBothEnd();
}

// The frame-available event the subscription delivered is closed: the
// swap-chain thread's next wait fails and ends it; the monitor gets no more
// frames until its next swap-chain assignment, and everything is still
// released.
TEST_F(DriverMisbehaviourTest, IndirectFrameAvailableEventClosedUnderTheLibrary) {
    TwoMonitorsStart(DriverKind::Indirect);
    const SimRequest Subscribe =
        RequestOfMonitor(ALIoctlCode::MonitorFrameBufferEventsSubscribe, m_First.Index, IndexInput);
    ASSERT_TRUE(CloseHandle(
        ALRecordField::HandleFrom(Subscribe.OutputReturnedAs<MonitorFrameBufferEventsInfo>().hEventFramebufferAvailable)));
    // The wait under way goes on with the object; the one after the frame fails.
    EXPECT_TRUE(FrameDeliver(DriverKind::Indirect, m_First));
    ASSERT_TRUE(LogAwait(L"ALThreadFrameBufferIddCxSwapChain::Run failed! unexpected:"));
    EXPECT_TRUE(FrameDeliver(DriverKind::Indirect, m_Second));
    // A new assignment brings a new event and the frames back.
    ASSERT_TRUE(m_pIddCxDriver->SwapchainUnassign(m_First.Index));
    ASSERT_TRUE(m_pIddCxDriver->SwapchainAssign(m_First.Index, kRenderLuid));
    EXPECT_TRUE(m_First.pTally->WaitForCount(MonitorTally::Kind::Visibility, 3, kSafetyMilliseconds));
    EXPECT_TRUE(FrameDeliver(DriverKind::Indirect, m_First));
    SecondServedAndBothEnd();
}

// --- the indirect display driver's records -------------------------------------------------------

// A frame whose shared texture handle is stale by the time the library opens
// it: the copy fails, the swap-chain thread ends, the handle is not closed
// twice by anyone who matters, and a new assignment brings the frames back.
TEST_F(DriverMisbehaviourTest, StaleSharedTextureHandle) {
    TwoMonitorsStart(DriverKind::Indirect);
    ASSERT_TRUE(m_pIddCxDriver->FrameHandleStaleNext(m_First.Index));
    ASSERT_TRUE(FramePresent(DriverKind::Indirect, m_First));
    ASSERT_TRUE(LogAwait(L"DXResourceManager::CopyFromSharedResource OpenSharedResource1 failed! 0x80070057\n"));
    ASSERT_TRUE(LogAwait(L"ALThreadFrameBufferIddCxSwapChain::Run PrivateResourceCopy failed!\n"));
    EXPECT_TRUE(FrameDeliver(DriverKind::Indirect, m_Second));
    ASSERT_TRUE(m_pIddCxDriver->SwapchainUnassign(m_First.Index));
    ASSERT_TRUE(m_pIddCxDriver->SwapchainAssign(m_First.Index, kRenderLuid));
    EXPECT_TRUE(m_First.pTally->WaitForCount(MonitorTally::Kind::Visibility, 3, kSafetyMilliseconds));
    EXPECT_TRUE(FrameDeliver(DriverKind::Indirect, m_First));
    SecondServedAndBothEnd();
}

// Swap-chain events of types the library does not know are taken from the
// driver and ignored: no visibility change, the swap chain keeps running.
TEST_F(DriverMisbehaviourTest, SwapchainEventOfUnknownType) {
    TwoMonitorsStart(DriverKind::Indirect);
    const uint64_t VisibilityBefore = m_First.pTally->CountOf(MonitorTally::Kind::Visibility);
    const size_t RetrievalsBefore = m_pIddCxDriver->Requests().CountOfCode(ALIoctlCode::MonitorSwapchainEventsRetrieve);
    // The first retrieval is held until all three are queued, so that one
    // pass takes them all: three events and the empty answer that ends it.
    auto pGate = m_pIddCxDriver->Faults().HoldNext(ALIoctlCode::MonitorSwapchainEventsRetrieve);
    for (uint32_t Type : {2u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        MonitorSwapchainEvent Event{};
        Event.EventType = Type;
        Event.EventPresent = 1;
        Event.RenderAdapterLuid = LUID{0xBAD, 0xBAD};
        ASSERT_TRUE(m_pIddCxDriver->SwapchainEventEmit(m_First.Index, Event));
        if (Type == 2u) {
            ASSERT_TRUE(pGate->WaitUntilHeld(kSafetyMilliseconds));
        }
    }
    pGate->Release();
    ASSERT_TRUE(m_pIddCxDriver->Requests().WaitForCountOfCode(ALIoctlCode::MonitorSwapchainEventsRetrieve,
                                                              RetrievalsBefore + 4, kSafetyMilliseconds));
    EXPECT_EQ(m_pIddCxDriver->SwapchainEventsPending(m_First.Index), 0u) << "every event was taken";
    EXPECT_EQ(m_First.pTally->CountOf(MonitorTally::Kind::Visibility), VisibilityBefore);
    EXPECT_TRUE(FrameDeliver(DriverKind::Indirect, m_First));
    SecondServedAndBothEnd();
}

// A driver whose swap-chain events never run dry: the thread takes them
// without end, yet still hears its exit request, and the other monitor is
// served meanwhile. (The flooded monitor's own frames wait: its swap-chain
// signal, always set, comes before the frame signal in every wait.)
TEST_F(DriverMisbehaviourTest, SwapchainEventsThatNeverRunDry) {
    TwoMonitorsStart(DriverKind::Indirect);
    const size_t RetrievalsBefore = m_pIddCxDriver->Requests().CountOfCode(ALIoctlCode::MonitorSwapchainEventsRetrieve);
    ASSERT_TRUE(m_pIddCxDriver->SwapchainEventsEndlessSet(m_First.Index, true));
    MonitorSwapchainEvent Event{};
    Event.EventType = 0xFFFF;
    Event.EventPresent = 1;
    ASSERT_TRUE(m_pIddCxDriver->SwapchainEventEmit(m_First.Index, Event));
    ASSERT_TRUE(m_pIddCxDriver->Requests().WaitForCountOfCode(ALIoctlCode::MonitorSwapchainEventsRetrieve,
                                                              RetrievalsBefore + 1000, kSafetyMilliseconds));
    ASSERT_TRUE(LogAwait(L"ALThreadFrameBufferIddCxApi::Run 64 swap-chain events in one pass, the rest in the next. "
                         L"MonitorIndex:0\n"));
    EXPECT_TRUE(FrameDeliver(DriverKind::Indirect, m_Second));
    SecondServedAndBothEnd();
}

}  // namespace
