// The hook frame-buffer thread end to end, frame path: visibility maps and
// unmaps, frame updates from the update ring (merged rectangles, flags,
// overflow), real pixels at the mapped address, the zero-copy fetch and its
// release, and the event ring's power and corrupt cases.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "HookFrameThreadFixture.h"
#include "driver/ALHookIoctlRecords.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"

namespace {

using Kind = RecordedCall::Kind;
using ALThreadFrameBufferHookFrameTest = HookFrameThreadTest;

uint32_t PixelOf(const std::vector<uint8_t>& Pixels, uint32_t Pitch, LONG X, LONG Y) {
    uint32_t Pixel = 0;
    std::memcpy(&Pixel, Pixels.data() + static_cast<size_t>(Y) * Pitch + static_cast<size_t>(X) * 4, sizeof(Pixel));
    return Pixel;
}

TEST_F(ALThreadFrameBufferHookFrameTest, VisibilityTrueMapsReportsAndSendsTheWholeFrame) {
    StartMapped();
    EXPECT_TRUE(m_pDriver->MonitorIsMapped(0, 0));
    const auto Visibility = m_pLog->CallsOf(Kind::Visibility);
    ASSERT_EQ(Visibility.size(), 1u);
    EXPECT_TRUE(Visibility[0].bVisible);

    const IoctlInfoMonitorFrameBuffer Map = MapRecord();
    const RecordedCall First = UpdateAwait(1);
    EXPECT_EQ(First.Info.Width, kWidth);
    EXPECT_EQ(First.Info.Height, kHeight);
    EXPECT_EQ(First.Info.Value2, Map.FrameBufferInfo2);
    EXPECT_EQ(First.Info.Value3, Map.FrameBufferInfo3);
    EXPECT_EQ(First.pFrameBuffer, ALRecordField::AddressFrom(Map.pFrameBuffer));
    EXPECT_EQ(First.Pitch, Map.Pitch);
    EXPECT_EQ(First.pFrameBufferAuxiliary, nullptr);
    EXPECT_EQ(First.FrameBufferAuxiliaryPitch, 0u);
    EXPECT_EQ(First.Rectangle.left, 0);
    EXPECT_EQ(First.Rectangle.right, static_cast<LONG>(kWidth));
    EXPECT_EQ(First.Rectangle.bottom, static_cast<LONG>(kHeight));
    EXPECT_EQ(First.Flags, 0u);
    EXPECT_NE(First.pPointerInfo, nullptr);  // pointer events enabled with 1
    EXPECT_TRUE(LineLogged(L"ALThreadFrameBufferHook::Run NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY TRUE m_MonitorIndex:0\n"));
    EXPECT_TRUE(LineLogged(L"ALThreadFrameBufferHook::Run FRAMEBUFFER UPDATE 0 0 640 480 AERO:ON\n"));
}

// The host has no picture before its first update: a change the driver
// queued while mapping must not shrink that update to the change alone.
TEST_F(ALThreadFrameBufferHookFrameTest, FirstUpdateAfterMappingIsTheWholeFrameEvenWithAQueuedChange) {
    m_Settings.UpdateOnMap = RECT{10, 20, 30, 40};
    StartMapped();
    const RecordedCall First = UpdateAwait(1);
    EXPECT_EQ(First.Rectangle.left, 0);
    EXPECT_EQ(First.Rectangle.top, 0);
    EXPECT_EQ(First.Rectangle.right, static_cast<LONG>(kWidth));
    EXPECT_EQ(First.Rectangle.bottom, static_cast<LONG>(kHeight));
    RECT Changed{};
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0, 0, &Changed));
    const RecordedCall Next = UpdateAwait(2);
    EXPECT_EQ(Next.Rectangle.left, Changed.left) << "later updates carry their own rectangle again";
    EXPECT_EQ(Next.Rectangle.right, Changed.right);
}

TEST_F(ALThreadFrameBufferHookFrameTest, PresentedFrameArrivesWithItsDirtyRectangleAndRealPixels) {
    StartMapped();
    RECT Changed{};
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0, 0, &Changed));
    const RecordedCall Update = UpdateAwait(2);
    EXPECT_EQ(Update.Rectangle.left, Changed.left);
    EXPECT_EQ(Update.Rectangle.top, Changed.top);
    EXPECT_EQ(Update.Rectangle.right, Changed.right);
    EXPECT_EQ(Update.Rectangle.bottom, Changed.bottom);
    EXPECT_LT(Changed.right - Changed.left, static_cast<LONG>(kWidth));  // a true dirty rectangle, not the frame
    // The instance read the driver's pixels at the mapped address: no copy.
    uint32_t Pitch = 0;
    const auto Pixels = m_pDriver->FramePixelsGet(0, 0, &Pitch);
    EXPECT_EQ(Update.PixelAtRectangleOrigin, PixelOf(Pixels, Pitch, Changed.left, Changed.top));
    EXPECT_NE(Update.PixelAtRectangleOrigin, 0u);
    EXPECT_EQ(Update.pFrameBuffer, UpdateAwait(1).pFrameBuffer);
}

TEST_F(ALThreadFrameBufferHookFrameTest, VisibilityFalseUnmapsAndReportsAlsoWhenAlreadyUnmapped) {
    StartMapped();
    ASSERT_TRUE(m_pDriver->MonitorVisibilitySet(0, 0, false));
    ASSERT_TRUE(m_pLog->WaitForCount(Kind::Visibility, 2));
    EXPECT_FALSE(m_pDriver->MonitorIsMapped(0, 0));
    ASSERT_TRUE(m_pDriver->MonitorVisibilitySet(0, 0, false));
    ASSERT_TRUE(m_pLog->WaitForCount(Kind::Visibility, 3));
    const auto Visibility = m_pLog->CallsOf(Kind::Visibility);
    EXPECT_FALSE(Visibility[1].bVisible);
    EXPECT_FALSE(Visibility[2].bVisible);
    EXPECT_EQ(LinesWith(L"ALMonitorHook::Unmap failed! Already unmapped\n"), 1u);
    // Visible again: mapped anew, whole frame again.
    ASSERT_TRUE(m_pDriver->MonitorVisibilitySet(0, 0, true));
    const RecordedCall Again = UpdateAwait(2);
    EXPECT_TRUE(m_pDriver->MonitorIsMapped(0, 0));
    EXPECT_EQ(Again.Rectangle.right, static_cast<LONG>(kWidth));
}

TEST_F(ALThreadFrameBufferHookFrameTest, PowerEventIsLoggedOnly) {
    StartMapped();
    ASSERT_TRUE(m_pDriver->MonitorPowerEventEmit(0, 0, 3, 5));
    ASSERT_TRUE(MachineDebugTextWait(
        L"ALThreadFrameBufferHook::Run NIMBO_MONITOR_EVENT_TYPE_POWER MonitorIndex:0 PowerState:3 PowerAction:5\n",
        20000));
    EXPECT_EQ(m_pLog->CountOf(Kind::Visibility), 1u);
}

TEST_F(ALThreadFrameBufferHookFrameTest, UnexpectedEventTypeIsLoggedAndTheNextRecordStillHandled) {
    StartMapped();
    ASSERT_TRUE(m_pDriver->MonitorEventEmit(0, 0, NIMBO_MONITOR_EVENT{7, 1, 0}));
    ASSERT_TRUE(m_pDriver->MonitorVisibilitySet(0, 0, false));
    ASSERT_TRUE(m_pLog->WaitForCount(Kind::Visibility, 2));
    EXPECT_TRUE(LineLogged(L"NIMBOThreadDesktopExtension::Run unexpected event type 7\n"));
    EXPECT_FALSE(m_pLog->CallsOf(Kind::Visibility)[1].bVisible);
}

TEST_F(ALThreadFrameBufferHookFrameTest, CorruptEventRingReadsAsEmptyAndIsLoggedOnce) {
    DebugLevelAL |= AL_DEBUG_EVENT_RING;
    StartMapped();
    const std::wstring Retrieve = L"ALMonitorHook::CircularBufferMonitorEventsRetrieve\n";
    const size_t Before = LinesWith(Retrieve);  // the visibility record and the empty ring after it
    CircularBufferHeader Header{};
    ASSERT_TRUE(m_pDriver->RingHeaderRead(0, 0, SimHookDriver::Ring::MonitorEvents, &Header));
    Header.Consumer = Header.CountElements + 3;
    ASSERT_TRUE(m_pDriver->RingHeaderWrite(0, 0, SimHookDriver::Ring::MonitorEvents, Header));
    for (size_t Event = 1; Event <= 3; ++Event) {
        // Refused by the driver too (the ring looks full to it), but signalled.
        m_pDriver->MonitorPowerEventEmit(0, 0, 1, 1);
        ASSERT_TRUE(LinesAwait(Retrieve, Before + Event));
    }
    Stop(true);
    EXPECT_EQ(LinesWith(L"EVT ring Consumer 67 at or beyond CountElements 64, read as empty\n"), 1u);
    EXPECT_EQ(LinesWith(L"NIMBO_MONITOR_EVENT_TYPE_POWER"), 0u);
    EXPECT_EQ(m_pLog->CountOf(Kind::Visibility), 1u);
}

// One frame-buffer step: entries announced (and an overflow raised) while the
// thread is busy inside the first update, so that one wake-up drains them all.
struct FrameStepCase {
    const char* pName;
    std::vector<std::pair<RECT, uint32_t>> Entries;
    bool bOverflow;
    bool bSent;
    RECT Expected;
    UINT32 ExpectedFlags;
};

const FrameStepCase kFrameStepCases[] = {
    {"Merged", {{{10, 10, 20, 20}, 0}, {{300, 5, 700, 40}, 1}, {{-3, 100, 50, 110}, 0}}, false, true, {0, 5, 640, 110}, 0},
    {"FirstEntryUnclamped", {{{-5, -5, 20, 20}, 0}}, false, true, {-5, -5, 20, 20}, 0},
    {"AllZeroIsNotSent", {{{0, 0, 0, 0}, 0}}, false, false, {0, 0, 0, 0}, 0},
    {"OnlyRightNonZeroIsSent", {{{0, 0, 5, 0}, 0}}, false, true, {0, 0, 5, 0}, 0},
    {"OverflowSendsTheWholeFrameWithoutFlags", {{{10, 10, 20, 20}, 2}, {{30, 30, 40, 40}, 4}}, true, true,
     {0, 0, 640, 480}, 0},
};

class ALThreadFrameBufferHookFrameStepTest : public HookFrameThreadTest,
                                             public ::testing::WithParamInterface<FrameStepCase> {};

TEST_P(ALThreadFrameBufferHookFrameStepTest, OneWakeUpDrainsTheRing) {
    const FrameStepCase& Case = GetParam();
    DriverInstall();
    m_pInstance->FrameBufferUpdateAction = [this, &Case, bDone = false](const RecordedCall&) mutable {
        if (bDone)
            return true;
        bDone = true;
        for (const auto& [Rectangle, Flags] : Case.Entries)
            EXPECT_TRUE(m_pDriver->FrameUpdateAnnounce(0, 0, Rectangle, Flags));
        if (Case.bOverflow) {
            EXPECT_TRUE(m_pDriver->UpdateRingOverflowRaise(0, 0));
        }
        return true;
    };
    ASSERT_TRUE(Start());
    const std::wstring Trace = L"ALThreadFrameBufferHook::Run FRAMEBUFFER UPDATE " + std::to_wstring(Case.Expected.left) +
                               L" " + std::to_wstring(Case.Expected.top) + L" " + std::to_wstring(Case.Expected.right) +
                               L" " + std::to_wstring(Case.Expected.bottom) + L" AERO:ON\n";
    ASSERT_TRUE(MachineDebugTextWait(Trace, 20000));
    if (Case.bSent) {
        const RecordedCall Update = UpdateAwait(2);
        EXPECT_EQ(Update.Rectangle.left, Case.Expected.left);
        EXPECT_EQ(Update.Rectangle.top, Case.Expected.top);
        EXPECT_EQ(Update.Rectangle.right, Case.Expected.right);
        EXPECT_EQ(Update.Rectangle.bottom, Case.Expected.bottom);
        EXPECT_EQ(Update.Flags, Case.ExpectedFlags);
    }
    Stop(true);
    EXPECT_EQ(Updates().size(), Case.bSent ? 2u : 1u);
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorFrameBufferZeroCopyUpdate), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, ALThreadFrameBufferHookFrameStepTest, ::testing::ValuesIn(kFrameStepCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

struct ZeroCopyCase {
    const char* pName;
    uint32_t EntryFlags;
    bool bFetchRefused;
    UINT32 ExpectedFlags;
};

class ALThreadFrameBufferHookZeroCopyTest : public HookFrameThreadTest,
                                            public ::testing::WithParamInterface<ZeroCopyCase> {};

TEST_P(ALThreadFrameBufferHookZeroCopyTest, FetchesTheFrameForOneUpdateAndHandsTheAuxiliaryBack) {
    const ZeroCopyCase& Case = GetParam();
    StartMapped();
    if (Case.bFetchRefused)
        m_pDriver->Faults().FailNext(ALIoctlCode::MonitorFrameBufferZeroCopyUpdate, ERROR_NOT_ENOUGH_MEMORY);
    RECT Changed{};
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0, Case.EntryFlags, &Changed));
    const RecordedCall Update = UpdateAwait(2);
    ASSERT_TRUE(m_pDriver->Requests().WaitForCountOfCode(ALIoctlCode::MonitorFrameBufferZeroCopyUnmap, 1, 20000));
    const IoctlInfoMonitorFrameBuffer Map = MapRecord();
    const auto Fetch = m_pDriver->Requests().ListOfCode(ALIoctlCode::MonitorFrameBufferZeroCopyUpdate).at(0);
    const auto Release = m_pDriver->Requests().ListOfCode(ALIoctlCode::MonitorFrameBufferZeroCopyUnmap).at(0);
    EXPECT_EQ(Update.Flags, Case.ExpectedFlags);
    if (Case.bFetchRefused) {
        EXPECT_EQ(Update.pFrameBuffer, ALRecordField::AddressFrom(Map.pFrameBuffer));
        EXPECT_EQ(Update.Pitch, Map.Pitch);
        EXPECT_EQ(Update.pFrameBufferAuxiliary, nullptr);
        EXPECT_EQ(Update.FrameBufferAuxiliaryPitch, 0u);
        // The release goes out all the same, naming no buffer.
        EXPECT_EQ(Release.InputAs<IoctlInfoZeroCopyUnmapIn>().pFrameBufferAuxiliaryZeroCopy, 0u);
        EXPECT_TRUE(MachineDebugTextWait(
            L"ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged FrameBuffer.ZeroCopyUnmap failed!\n", 20000));
    } else {
        const auto Out = Fetch.OutputReturnedAs<IoctlInfoZeroCopyOut>();
        EXPECT_EQ(Update.pFrameBuffer, ALRecordField::AddressFrom(Out.pFrameBufferZeroCopy));
        EXPECT_NE(Update.pFrameBuffer, ALRecordField::AddressFrom(Map.pFrameBuffer));
        EXPECT_EQ(Update.Pitch, Out.Pitch);
        EXPECT_EQ(Update.pFrameBufferAuxiliary, ALRecordField::AddressFrom(Out.pFrameBufferAuxiliaryZeroCopy));
        EXPECT_NE(Update.pFrameBufferAuxiliary, nullptr);
        EXPECT_EQ(Update.FrameBufferAuxiliaryPitch, Out.FrameBufferAuxiliaryPitch);
        EXPECT_EQ(Release.InputAs<IoctlInfoZeroCopyUnmapIn>().pFrameBufferAuxiliaryZeroCopy,
                  Out.pFrameBufferAuxiliaryZeroCopy);
        EXPECT_EQ(Release.Error, static_cast<DWORD>(ERROR_SUCCESS));
        // Real pixels at the zero-copy address.
        uint32_t Pitch = 0;
        const auto Pixels = m_pDriver->FramePixelsGet(0, 0, &Pitch);
        EXPECT_EQ(Update.PixelAtRectangleOrigin, PixelOf(Pixels, Pitch, Changed.left, Changed.top));
    }
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorFrameBufferZeroCopyUpdate), 1u);
    EXPECT_EQ(m_pDriver->ZeroCopyMappingCount(0, 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Flags, ALThreadFrameBufferHookZeroCopyTest,
                         ::testing::Values(ZeroCopyCase{"Two", 2, false, 2}, ZeroCopyCase{"Four", 4, false, 4},
                                           ZeroCopyCase{"Six", 6, false, 2},
                                           ZeroCopyCase{"FourFetchRefused", 4, true, 4}),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(ALThreadFrameBufferHookFrameTest, PointerCopyStaysOffUpdatesUnlessPointerEventsAreExactlyOne) {
    m_Settings.PointerEventsEnabled = 2;
    StartMapped();
    EXPECT_EQ(UpdateAwait(1).pPointerInfo, nullptr);
}

}  // namespace
