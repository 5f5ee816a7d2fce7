// The hook frame-buffer thread end to end, pointer path: emulation (a shape
// alone calls nothing, a move repaints what the pointer left and entered with
// the pointer copy), hardware pointer mode (the shared record itself), the
// registry switch, the gate, and the alternation of frame and pointer events.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "HookFrameThreadFixture.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"
#include "support/ALUtilRegistry.h"

namespace {

using Kind = RecordedCall::Kind;

const wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\vantorService";

void PointerModeSet(DWORD Value) {
    ASSERT_TRUE(ZKLUtilRegistryValueSet(HKEY_LOCAL_MACHINE, kServiceKey, L"HardwarePointerEmulationDisable", REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&Value), sizeof(Value)));
}

std::vector<uint8_t> ShapeData(uint8_t First) { return std::vector<uint8_t>(64, First); }

class ALThreadFrameBufferHookPointerTest : public HookFrameThreadTest {
protected:
    // The shape event is handled before a position event set after it (lower
    // wait slot), so a shape followed by a move arrive in this order.
    void ShapeSet(uint32_t Width, uint32_t Height, uint8_t First = 0x11) {
        ASSERT_TRUE(m_pDriver->PointerShapeSet(0, 0, Width, Height, ShapeData(First)));
    }
    void Move(int32_t X, int32_t Y, bool bVisible) { ASSERT_TRUE(m_pDriver->PointerPositionSet(0, 0, X, Y, bVisible)); }
};

TEST_F(ALThreadFrameBufferHookPointerTest, EmulatedShapeAloneCallsNothing) {
    StartMapped();
    ShapeSet(32, 32);
    ASSERT_TRUE(LinesAwait(L"ALThreadFrameBufferHook::Run POINTER SHAPE m_MonitorIndex:0\n", 1));
    Stop(true);
    EXPECT_EQ(Updates().size(), 1u);
    EXPECT_EQ(m_pLog->CountOf(Kind::CursorShape), 0u);
    EXPECT_EQ(m_pLog->CountOf(Kind::CursorPosition), 0u);
}

TEST_F(ALThreadFrameBufferHookPointerTest, EmulatedMovesRepaintWhatThePointerLeftAndEntered) {
    StartMapped();
    ShapeSet(32, 32, 0x77);
    Move(10, 10, true);
    const RecordedCall Appeared = UpdateAwait(2);
    EXPECT_EQ(Appeared.Rectangle.left, 10);
    EXPECT_EQ(Appeared.Rectangle.top, 10);
    EXPECT_EQ(Appeared.Rectangle.right, 42);
    EXPECT_EQ(Appeared.Rectangle.bottom, 42);
    EXPECT_EQ(Appeared.Flags, 0u);
    EXPECT_EQ(Appeared.pFrameBufferAuxiliary, nullptr);
    EXPECT_EQ(Appeared.pFrameBuffer, ALRecordField::AddressFrom(MapRecord().pFrameBuffer));
    // The thread's own copy, not the shared record, holding position and shape.
    ASSERT_NE(Appeared.pPointerInfo, nullptr);
    EXPECT_NE(Appeared.pPointerInfo, ALRecordField::AddressFrom(MapRecord().pPointerInfo));
    EXPECT_EQ(Appeared.pPointerInfo, UpdateAwait(1).pPointerInfo);
    EXPECT_EQ(Appeared.PointerX, 10);
    EXPECT_EQ(Appeared.PointerVisible, 1u);
    EXPECT_EQ(Appeared.ShapeWidth, 32u);
    EXPECT_EQ(Appeared.ShapeFirstByte, 0x77);

    Move(30, 20, true);
    const RecordedCall Moved = UpdateAwait(3);
    EXPECT_EQ(Moved.Rectangle.left, 10);
    EXPECT_EQ(Moved.Rectangle.top, 10);
    EXPECT_EQ(Moved.Rectangle.right, 62);
    EXPECT_EQ(Moved.Rectangle.bottom, 52);
    EXPECT_EQ(Moved.PointerX, 30);
    EXPECT_EQ(Moved.PointerY, 20);

    Move(700, 700, false);
    const RecordedCall Hidden = UpdateAwait(4);
    EXPECT_EQ(Hidden.Rectangle.left, 30);
    EXPECT_EQ(Hidden.Rectangle.right, 62);
    Move(5, 5, false);
    const RecordedCall StillHidden = UpdateAwait(5);  // sent although empty
    EXPECT_EQ(StillHidden.Rectangle.left, 0);
    EXPECT_EQ(StillHidden.Rectangle.right, 0);
    EXPECT_EQ(StillHidden.Rectangle.bottom, 0);
    EXPECT_EQ(m_pLog->CountOf(Kind::CursorPosition), 0u);
}

TEST_F(ALThreadFrameBufferHookPointerTest, FrameUpdatesCarryTheEmulatedPointerCopy) {
    StartMapped();
    ShapeSet(16, 8);
    Move(100, 50, true);
    UpdateAwait(2);
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0));
    const RecordedCall Frame = UpdateAwait(3);
    ASSERT_NE(Frame.pPointerInfo, nullptr);
    EXPECT_EQ(Frame.PointerX, 100);
    EXPECT_EQ(Frame.ShapeWidth, 16u);
}

TEST_F(ALThreadFrameBufferHookPointerTest, EmulatedMoveAfterAZeroCopyUpdateUsesThatBuffer) {
    StartMapped();
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0, 2));
    const RecordedCall ZeroCopy = UpdateAwait(2);
    ASSERT_NE(ZeroCopy.pFrameBuffer, ALRecordField::AddressFrom(MapRecord().pFrameBuffer));
    ShapeSet(8, 8);
    Move(1, 2, true);
    const RecordedCall Pointer = UpdateAwait(3);
    EXPECT_EQ(Pointer.pFrameBuffer, ZeroCopy.pFrameBuffer);
    EXPECT_EQ(Pointer.Pitch, ZeroCopy.Pitch);
    EXPECT_EQ(Pointer.pFrameBufferAuxiliary, nullptr);
    // Still the driver's live frame there.
    uint32_t Pitch = 0;
    const auto Pixels = m_pDriver->FramePixelsGet(0, 0, &Pitch);
    uint32_t Expected = 0;
    std::memcpy(&Expected, Pixels.data() + 2 * Pitch + 4, sizeof(Expected));
    EXPECT_EQ(Pointer.PixelAtRectangleOrigin, Expected);
    // A plain frame update clears it again.
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0, 0));
    UpdateAwait(4);
    Move(3, 3, true);
    EXPECT_EQ(UpdateAwait(5).pFrameBuffer, ALRecordField::AddressFrom(MapRecord().pFrameBuffer));
}

TEST_F(ALThreadFrameBufferHookPointerTest, HardwarePointerModeHandsTheSharedRecordOn) {
    PointerModeSet(1);
    StartMapped();
    ShapeSet(24, 24, 0x42);
    ASSERT_TRUE(m_pLog->WaitForCount(Kind::CursorShape, 1));
    const RecordedCall Shape = m_pLog->CallsOf(Kind::CursorShape)[0];
    EXPECT_EQ(Shape.pPointerInfo, ALRecordField::AddressFrom(MapRecord().pPointerInfo));
    EXPECT_EQ(Shape.ShapeWidth, 24u);
    EXPECT_EQ(Shape.ShapeFirstByte, 0x42);
    Move(-4, 9, true);
    ASSERT_TRUE(m_pLog->WaitForCount(Kind::CursorPosition, 1));
    const RecordedCall Position = m_pLog->CallsOf(Kind::CursorPosition)[0];
    EXPECT_EQ(Position.X, -4);
    EXPECT_EQ(Position.Y, 9);
    EXPECT_EQ(Position.Visible, 1);
    Move(5, 6, false);
    ASSERT_TRUE(m_pLog->WaitForCount(Kind::CursorPosition, 2));
    EXPECT_EQ(m_pLog->CallsOf(Kind::CursorPosition)[1].Visible, 0);
    // Frame updates still carry the thread's copy, which stays zero here.
    ASSERT_TRUE(m_pDriver->FramePresent(0, 0));
    const RecordedCall Frame = UpdateAwait(2);
    ASSERT_NE(Frame.pPointerInfo, nullptr);
    EXPECT_EQ(Frame.PointerX, 0);
    EXPECT_EQ(Frame.ShapeWidth, 0u);
    EXPECT_EQ(Updates().size(), 2u);  // no pointer repaint in this mode
}

struct ModeCase {
    const char* pName;
    bool bValueSet;
    DWORD Value;
    bool bHardware;
};

class ALThreadFrameBufferHookModeTest : public ALThreadFrameBufferHookPointerTest,
                                        public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ALThreadFrameBufferHookModeTest, RegistrySwitchSelectsTheMode) {
    if (GetParam().bValueSet)
        PointerModeSet(GetParam().Value);
    StartMapped();
    ShapeSet(8, 8);
    Move(1, 1, true);
    if (GetParam().bHardware) {
        ASSERT_TRUE(m_pLog->WaitForCount(Kind::CursorPosition, 1));
        EXPECT_EQ(m_pLog->CountOf(Kind::CursorShape), 1u);
    } else {
        UpdateAwait(2);
        EXPECT_EQ(m_pLog->CountOf(Kind::CursorPosition), 0u);
        EXPECT_EQ(m_pLog->CountOf(Kind::CursorShape), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, ALThreadFrameBufferHookModeTest,
                         ::testing::Values(ModeCase{"Missing", false, 0, false}, ModeCase{"Zero", true, 0, false},
                                           ModeCase{"One", true, 1, true}, ModeCase{"Two", true, 2, false}),
                         [](const auto& Info) { return std::string(Info.param.pName); });

struct GateCase {
    const char* pName;
    uint32_t PointerEventsEnabled;
    bool bUnmapped;
};

class ALThreadFrameBufferHookGateTest : public ALThreadFrameBufferHookPointerTest,
                                        public ::testing::WithParamInterface<GateCase> {};

TEST_P(ALThreadFrameBufferHookGateTest, ClosedGateSkipsBothPointerSteps) {
    PointerModeSet(1);  // hardware mode: an open gate would call the instance at once
    m_Settings.PointerEventsEnabled = GetParam().PointerEventsEnabled;
    StartMapped();
    if (GetParam().bUnmapped) {
        ASSERT_TRUE(m_pDriver->MonitorVisibilitySet(0, 0, false));
        ASSERT_TRUE(m_pLog->WaitForCount(Kind::Visibility, 2));
    }
    ASSERT_TRUE(m_pDriver->PointerShapeSet(0, 0, 8, 8, ShapeData(1)));
    ASSERT_TRUE(m_pDriver->PointerPositionSet(0, 0, 1, 1, true));
    // The driver does not signal pointer events it has switched off: signal
    // them as a driver that did would.
    SetEvent(m_pThread->PointerShapeEventGet());
    SetEvent(m_pThread->PointerPositionEventGet());
    ASSERT_TRUE(LinesAwait(L"ALThreadFrameBufferHook::Run POINTER POSITION m_MonitorIndex:0\n", 1));
    ASSERT_TRUE(LinesAwait(L"ALThreadFrameBufferHook::Run POINTER SHAPE m_MonitorIndex:0\n", 1));
    Stop(true);
    EXPECT_EQ(m_pLog->CountOf(Kind::CursorShape), 0u);
    EXPECT_EQ(m_pLog->CountOf(Kind::CursorPosition), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ALThreadFrameBufferHookGateTest,
                         ::testing::Values(GateCase{"PointerEventsOff", 0, false}, GateCase{"Unmapped", 1, true}),
                         [](const auto& Info) { return std::string(Info.param.pName); });

// Frame-buffer and pointer-position events set again inside every update:
// each wake-up sees both, and the thread takes them in turn.
TEST_F(ALThreadFrameBufferHookPointerTest, FrameAndPointerEventsAlternateWhenBothAreAlwaysSet) {
    constexpr size_t kRounds = 9;
    const RECT Frame{100, 100, 200, 200};
    std::atomic<bool> bArmed{false};
    DriverInstall();
    m_pInstance->FrameBufferUpdateAction = [this, Frame, &bArmed, Count = size_t{0}](const RecordedCall&) mutable {
        if (!bArmed || ++Count > kRounds)
            return true;
        EXPECT_TRUE(m_pDriver->FrameUpdateAnnounce(0, 0, Frame, 0));
        EXPECT_TRUE(m_pDriver->PointerPositionSet(0, 0, 10, 10, true));
        return true;
    };
    ASSERT_TRUE(Start());
    UpdateAwait(1);
    ShapeSet(32, 32);
    ASSERT_TRUE(LinesAwait(L"ALThreadFrameBufferHook::Run POINTER SHAPE m_MonitorIndex:0\n", 1));
    bArmed = true;
    Move(10, 10, true);
    // The move, kRounds updates that set both events again, and the two
    // steps that take the last pair.
    UpdateAwait(kRounds + 3);
    Stop(true);
    const auto List = Updates();
    ASSERT_EQ(List.size(), kRounds + 3);
    // After the move that started it (a pointer update), the frame event
    // comes first in line and the two take turns.
    for (size_t Index = 1; Index <= kRounds + 2; ++Index) {
        const bool bFrame = Index % 2 == 0;
        EXPECT_EQ(List[Index].Rectangle.left, bFrame ? 100 : 10) << "update " << Index;
        EXPECT_EQ(List[Index].Rectangle.right, bFrame ? 200 : 42) << "update " << Index;
    }
}

}  // namespace
