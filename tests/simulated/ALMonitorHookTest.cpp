// The hook monitor object against the simulated hook display driver: plug
// with and without EDID, refusals, map and unmap states, the event ring, the
// update ring's merge and flag rules, the overflow, a corrupt update ring, and
// the frame thread's update rectangle built on them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimulatedMachine.h"
#include "driver/ALDeviceControlHook.h"
#include "driver/ALHookIoctlRecords.h"
#include "driver/ALIoctlCode.h"
#include "driver/ALRecordField.h"
#include "hook/ALMonitorHook.h"
#include "hook/ALThreadFrameBufferHook.h"
#include "library/DebugLevelScope.h"
#include "library/LogLine.h"
#include "platform/DebugCapture.h"
#include "sim/SimHookDriver.h"
#include "sim/SimHookScenario.h"

namespace {

const wchar_t kHookPath[] = L"\\\\.\\NimboHookCtrlvantor";
constexpr UINT32 kWidth = 640;
constexpr UINT32 kHeight = 480;

bool LinesContain(const std::vector<std::wstring>& Lines, const std::wstring& Message) {
    for (const auto& Line : Lines)
        if (Line == LogLine(Message))
            return true;
    return false;
}

class ALMonitorHookTest : public SimulatedMachineTest {
public:
    void SetUp() override {
        SimulatedMachineTest::SetUp();
        SimHookDriver::Config Settings;
        Settings.AdaptersActive = {true, true};
        Settings.bVisibilityOnPlug = false;
        m_pDriver = SimHookDriver::Install(Settings);
        ASSERT_NE(m_pDriver, nullptr);
        ASSERT_TRUE(m_Device.Create(kHookPath));
        m_Description = MonitorDescriptionMake(7, 7, kWidth, kHeight);  // indexes overwritten by Plug
    }
    void TearDown() override {
        m_Device.Destroy();
        SimulatedMachineTest::TearDown();
    }
    bool Plug(ALMonitorHook& Monitor, INT32 AdapterIndex = 1, INT32 MonitorIndex = 2, BYTE* pEdid = nullptr,
              UINT32 CountByteEdid = 0) {
        m_bAlreadyPlugged = true;
        return Monitor.Plug(m_Device, AdapterIndex, MonitorIndex, static_cast<UINT32>(m_Description.size()),
                            m_Description.data(), CountByteEdid, pEdid, &m_bAlreadyPlugged);
    }
    bool PlugAndMap(ALMonitorHook& Monitor) { return Plug(Monitor) && Monitor.Map(m_Device, &m_FrameBuffer); }
    std::vector<DWORD> RequestCodes() const {
        std::vector<DWORD> Codes;
        for (const auto& Request : m_pDriver->Requests().List())
            Codes.push_back(Request.Code);
        return Codes;
    }
    bool Announce(const RECT& Rectangle, uint32_t Flags) {
        return m_pDriver->FrameUpdateAnnounce(1, 2, Rectangle, Flags);
    }
    CircularBufferHeader UpdateRingHeader() const {
        CircularBufferHeader Header{};
        m_pDriver->RingHeaderRead(1, 2, SimHookDriver::Ring::Updates, &Header);
        return Header;
    }

    std::shared_ptr<SimHookDriver> m_pDriver;
    ALDeviceControlHook m_Device;
    std::vector<uint8_t> m_Description;
    IoctlInfoMonitorFrameBuffer m_FrameBuffer{};
    bool m_bAlreadyPlugged = false;
};

TEST_F(ALMonitorHookTest, StartsUnpluggedWithClearEvents) {
    ALMonitorHook Monitor;
    EXPECT_FALSE(Monitor.IsMapped());
    EXPECT_EQ(Monitor.PointerEventsEnabledGet(), 0u);
    for (HANDLE hEvent : {Monitor.EventMonitorGet(), Monitor.EventFramebufferChangedGet(),
                          Monitor.EventPointerPositionChangedGet(), Monitor.EventPointerShapeChangedGet()}) {
        ASSERT_NE(hEvent, nullptr);
        EXPECT_EQ(WaitForSingleObject(hEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    }
    // Only the pointer-shape event resets itself when a wait sees it.
    SetEvent(Monitor.EventPointerShapeChangedGet());
    SetEvent(Monitor.EventMonitorGet());
    EXPECT_EQ(WaitForSingleObject(Monitor.EventPointerShapeChangedGet(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(Monitor.EventPointerShapeChangedGet(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(Monitor.EventMonitorGet(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(Monitor.EventMonitorGet(), 0), WAIT_OBJECT_0);
}

TEST_F(ALMonitorHookTest, DestructorClosesItsFourEvents) {
    const long Before = MachineHandlesLiveOfKind("Event");
    { ALMonitorHook Monitor; EXPECT_EQ(MachineHandlesLiveOfKind("Event"), Before + 4); }
    EXPECT_EQ(MachineHandlesLiveOfKind("Event"), Before);
}

TEST_F(ALMonitorHookTest, PlugSubscribesSendsTheEdidAndPlugsInThisOrder) {
    ALMonitorHook Monitor;
    std::vector<BYTE> Edid(136, 0x5A);
    ASSERT_TRUE(Plug(Monitor, 1, 2, Edid.data(), static_cast<UINT32>(Edid.size())));
    EXPECT_FALSE(m_bAlreadyPlugged);
    EXPECT_EQ(RequestCodes(), (std::vector<DWORD>{ALIoctlCode::MonitorEventsSubscribe, ALIoctlCode::MonitorEdidSet,
                                                 ALIoctlCode::MonitorPlug}));
    // Both records carry the indexes in front.
    const uint32_t* pDescription = reinterpret_cast<const uint32_t*>(m_Description.data());
    EXPECT_EQ(pDescription[0], 1u);
    EXPECT_EQ(pDescription[1], 2u);
    const uint32_t* pEdid = reinterpret_cast<const uint32_t*>(Edid.data());
    EXPECT_EQ(pEdid[0], 1u);
    EXPECT_EQ(pEdid[1], 2u);
    EXPECT_EQ(m_pDriver->MonitorEdidGet(1, 2), std::vector<uint8_t>(128, 0x5A));
    EXPECT_TRUE(m_pDriver->MonitorIsSubscribed(1, 2));
    EXPECT_TRUE(m_pDriver->MonitorIsPlugged(1, 2));
    EXPECT_EQ(Monitor.PointerEventsEnabledGet(), 1u);
}

TEST_F(ALMonitorHookTest, PlugWithoutEdidSendsNoEdidRequest) {
    ALMonitorHook Monitor;
    ASSERT_TRUE(Plug(Monitor));
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorEdidSet), 0u);
}

TEST_F(ALMonitorHookTest, RefusedEdidIsLoggedAndTheMonitorStillPlugged) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    m_pDriver->Faults().FailNext(ALIoctlCode::MonitorEdidSet, ERROR_INVALID_PARAMETER);
    ALMonitorHook Monitor;
    std::vector<BYTE> Edid(16, 0);
    ASSERT_TRUE(Plug(Monitor, 1, 2, Edid.data(), 16));
    EXPECT_TRUE(m_pDriver->MonitorIsPlugged(1, 2));
    EXPECT_TRUE(LinesContain(Capture.Lines(), L"ALMonitorHook::Plug DeviceControl.IoctlMonitorEdidSet failed!\n"));
}

TEST_F(ALMonitorHookTest, RefusedSubscriptionPlugsNothing) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    m_pDriver->Faults().FailNext(ALIoctlCode::MonitorEventsSubscribe, ERROR_INVALID_PARAMETER);
    ALMonitorHook Monitor;
    EXPECT_FALSE(Plug(Monitor));
    EXPECT_EQ(RequestCodes(), std::vector<DWORD>{ALIoctlCode::MonitorEventsSubscribe});
    EXPECT_TRUE(LinesContain(Capture.Lines(), L"ALMonitorHook::Plug DeviceControl.IoctlMonitorEventsSubscribe failed!\n"));
}

TEST_F(ALMonitorHookTest, RefusedPlugUndoesTheSubscriptionWithoutATextOfItsOwn) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    m_pDriver->Faults().FailNext(ALIoctlCode::MonitorPlug, ERROR_NOT_SUPPORTED);
    ALMonitorHook Monitor;
    EXPECT_FALSE(Plug(Monitor));
    EXPECT_FALSE(m_pDriver->MonitorIsSubscribed(1, 2));
    const auto Requests = m_pDriver->Requests().List();
    ASSERT_EQ(Requests.size(), 3u);
    EXPECT_EQ(Requests[2].Code, ALIoctlCode::MonitorEventUnsubscribe);
    EXPECT_EQ(Requests[2].Error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_NE(Requests[2].OutputAs<IoctlInfoEventsOut>().pCircularBufferMonitorEvents, 0u);
    // The wrapper's own failure line only.
    ASSERT_EQ(Capture.Lines().size(), 1u);
    EXPECT_NE(Capture.Lines()[0].find(L"IoctlMonitorPlug DeviceIoControl failed!"), std::wstring::npos);
}

TEST_F(ALMonitorHookTest, MonitorTheDriverAlreadyHadPlugsWithTheFlagSet) {
    ASSERT_TRUE(SimHookScenario::MonitorLeftPlugged(1, 2, kWidth, kHeight));
    ALMonitorHook Monitor;
    m_bAlreadyPlugged = false;
    ASSERT_TRUE(Monitor.Plug(m_Device, 1, 2, 36, m_Description.data(), 0, nullptr, &m_bAlreadyPlugged));
    EXPECT_TRUE(m_bAlreadyPlugged);
    EXPECT_TRUE(Monitor.Map(m_Device, &m_FrameBuffer));
}

TEST_F(ALMonitorHookTest, UnplugEndsTheSubscriptionThenUnplugs) {
    ALMonitorHook Monitor;
    ASSERT_TRUE(Plug(Monitor));
    m_pDriver->Requests().Clear();
    EXPECT_TRUE(Monitor.Unplug(m_Device));
    EXPECT_EQ(RequestCodes(), (std::vector<DWORD>{ALIoctlCode::MonitorEventUnsubscribe, ALIoctlCode::MonitorUnplug}));
    EXPECT_FALSE(m_pDriver->MonitorIsSubscribed(1, 2));
    EXPECT_FALSE(m_pDriver->MonitorIsPlugged(1, 2));
    // The ring is gone: reading it now must not touch it.
    NIMBO_MONITOR_EVENT Event{};
    EXPECT_FALSE(Monitor.CircularBufferMonitorEventsRetrieve(&Event));
}

TEST_F(ALMonitorHookTest, MapTwiceKeepsTheFirstMapping) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALMonitorHook Monitor;
    ASSERT_TRUE(PlugAndMap(Monitor));
    const uint64_t pFrameBuffer = m_FrameBuffer.pFrameBuffer;
    EXPECT_EQ(m_FrameBuffer.Width, kWidth);
    EXPECT_EQ(m_FrameBuffer.Height, kHeight);
    EXPECT_NE(m_FrameBuffer.pCircularBufferUpdates, 0u);
    EXPECT_FALSE(Monitor.Map(m_Device, &m_FrameBuffer));
    EXPECT_TRUE(Monitor.IsMapped());
    EXPECT_EQ(m_FrameBuffer.pFrameBuffer, pFrameBuffer);
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorFrameBufferMap), 1u);
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(L"ALMonitorHook::Map failed! Already mapped\n")});
}

TEST_F(ALMonitorHookTest, RefusedMapLeavesItUnmapped) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALMonitorHook Monitor;
    ASSERT_TRUE(Plug(Monitor));
    m_pDriver->Faults().FailNext(ALIoctlCode::MonitorFrameBufferMap, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(Monitor.Map(m_Device, &m_FrameBuffer));
    EXPECT_FALSE(Monitor.IsMapped());
    EXPECT_TRUE(LinesContain(Capture.Lines(), L"ALMonitorHook::Map IoctlMonitorFrameBufferMap failed!\n"));
}

struct UnmapCase {
    const char* pName;
    bool bMapped;
    bool bQuiet;
    bool bRefused;
    bool bResult;
    const wchar_t* pText;  // the monitor's own line, or null
};

const UnmapCase kUnmapCases[] = {
    {"Mapped", true, false, false, true, nullptr},
    {"MappedAndRefused", true, true, true, false, L"ALMonitorHook::Unmap IoctlMonitorFrameBufferUnmap failed!\n"},
    {"NotMapped", false, false, false, false, L"ALMonitorHook::Unmap failed! Already unmapped\n"},
    {"NotMappedQuiet", false, true, false, false, nullptr},
};

class ALMonitorHookUnmapTest : public ALMonitorHookTest, public ::testing::WithParamInterface<UnmapCase> {};

TEST_P(ALMonitorHookUnmapTest, ClearsTheFlagWhateverTheRequestSays) {
    const UnmapCase& Case = GetParam();
    ALMonitorHook Monitor;
    ASSERT_TRUE(Plug(Monitor));
    if (Case.bMapped) {
        ASSERT_TRUE(Monitor.Map(m_Device, &m_FrameBuffer));
    }
    if (Case.bRefused)
        m_pDriver->Faults().FailNext(ALIoctlCode::MonitorFrameBufferUnmap, ERROR_INVALID_PARAMETER);
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    m_pDriver->Requests().Clear();
    EXPECT_EQ(Monitor.Unmap(m_Device, &m_FrameBuffer, Case.bQuiet), Case.bResult);
    EXPECT_FALSE(Monitor.IsMapped());
    EXPECT_EQ(m_pDriver->Requests().CountOfCode(ALIoctlCode::MonitorFrameBufferUnmap), Case.bMapped ? 1u : 0u);
    if (Case.bMapped && !Case.bRefused) {
        EXPECT_FALSE(m_pDriver->MonitorIsMapped(1, 2));
    }
    std::vector<std::wstring> Own;
    for (const auto& Line : Capture.Lines())
        if (Line.find(L"ALMonitorHook::") != std::wstring::npos)
            Own.push_back(Line);
    EXPECT_EQ(Own, Case.pText == nullptr ? std::vector<std::wstring>{} : std::vector<std::wstring>{LogLine(Case.pText)});
}

INSTANTIATE_TEST_SUITE_P(States, ALMonitorHookUnmapTest, ::testing::ValuesIn(kUnmapCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(ALMonitorHookTest, EventRingYieldsVisibilityAndPowerRecordsInOrder) {
    ALMonitorHook Monitor;
    ASSERT_TRUE(Plug(Monitor));
    ASSERT_TRUE(m_pDriver->MonitorVisibilitySet(1, 2, true));
    ASSERT_TRUE(m_pDriver->MonitorPowerEventEmit(1, 2, 4, 7));
    ASSERT_TRUE(m_pDriver->MonitorVisibilitySet(1, 2, false));
    EXPECT_EQ(WaitForSingleObject(Monitor.EventMonitorGet(), 0), WAIT_OBJECT_0);

    DebugLevelScope Level(AL_DEBUG_EVENT_RING | AL_DEBUG_EVENT_COUNTERS);
    DebugCapture Capture;
    NIMBO_MONITOR_EVENT Event{};
    ASSERT_TRUE(Monitor.CircularBufferMonitorEventsRetrieve(&Event));
    EXPECT_EQ(Event.Type, static_cast<uint32_t>(NIMBO_MONITOR_EVENT_TYPE_VIDPN_VISIBILITY));
    EXPECT_NE(Event.Visible, 0u);
    ASSERT_TRUE(Monitor.CircularBufferMonitorEventsRetrieve(&Event));
    EXPECT_EQ(Event.Type, static_cast<uint32_t>(NIMBO_MONITOR_EVENT_TYPE_POWER));
    EXPECT_EQ(Event.PowerState, 4u);
    EXPECT_EQ(Event.PowerAction, 7u);
    ASSERT_TRUE(Monitor.CircularBufferMonitorEventsRetrieve(&Event));
    EXPECT_EQ(Event.Visible, 0u);
    Event = NIMBO_MONITOR_EVENT{9, 9, 9};
    EXPECT_FALSE(Monitor.CircularBufferMonitorEventsRetrieve(&Event));
    EXPECT_EQ(Event.Type, 0u);  // cleared even when nothing is taken
    EXPECT_EQ(Event.Visible, 0u);
    EXPECT_EQ(Event.PowerAction, 0u);

    const auto Lines = Capture.Lines();
    ASSERT_EQ(Lines.size(), 8u);
    EXPECT_EQ(Lines[0], LogLine(L"ALMonitorHook::CircularBufferMonitorEventsRetrieve\n"));
    EXPECT_EQ(Lines[1], LogLine(L"EVT Producer:3 Consumer:0    CountElements:64 CountByteElement:12\n"));
    EXPECT_EQ(Lines[7], LogLine(L"EVT Producer:3 Consumer:3    CountElements:64 CountByteElement:12\n"));
}

TEST_F(ALMonitorHookTest, EventResetsLogAndClearTheirEvent) {
    DebugLevelScope Level(AL_DEBUG_DRIVER_CONTROL);
    DebugCapture Capture;
    ALMonitorHook Monitor;
    for (HANDLE hEvent : {Monitor.EventMonitorGet(), Monitor.EventFramebufferChangedGet(),
                          Monitor.EventPointerPositionChangedGet(), Monitor.EventPointerShapeChangedGet()})
        SetEvent(hEvent);
    Monitor.EventMonitorReset();
    Monitor.EventFramebufferChangedReset();
    Monitor.EventPointerPositionChangedReset();
    Monitor.EventPointerShapeChangedReset();
    for (HANDLE hEvent : {Monitor.EventMonitorGet(), Monitor.EventFramebufferChangedGet(),
                          Monitor.EventPointerPositionChangedGet(), Monitor.EventPointerShapeChangedGet()})
        EXPECT_EQ(WaitForSingleObject(hEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(Capture.Lines(), (std::vector<std::wstring>{LogLine(L"ALMonitorHook::EventMonitorReset\n"),
                                                         LogLine(L"ALMonitorHook::EventFramebufferChangedReset\n"),
                                                         LogLine(L"ALMonitorHook::EventPointerPositionChangedReset\n"),
                                                         LogLine(L"ALMonitorHook::EventPointerShapeChangedReset\n")}));
}

struct UpdateEntry {
    RECT Rectangle;
    uint32_t Flags;
};

struct MergeCase {
    const char* pName;
    std::vector<UpdateEntry> Entries;
    bool bRetrieved;
    RECT Expected;
    UINT32 ExpectedFlags;
};

const RECT kUntouched{-7, -7, -7, -7};

const MergeCase kMergeCases[] = {
    {"Empty", {}, false, kUntouched, 0},
    {"OneEntryAsItIs", {{{10, 20, 30, 40}, 0}}, true, {10, 20, 30, 40}, 0},
    {"FirstEntryNotClamped", {{{-5, -6, 9000, 9000}, 0}}, true, {-5, -6, 9000, 9000}, 0},
    {"LaterEntriesMergedAndClamped", {{{100, 100, 200, 200}, 0}, {{-5, 50, 700, 150}, 0}}, true, {0, 50, 640, 200}, 0},
    {"NegativeLeftOfFirstKept", {{{-10, 0, 20, 20}, 0}, {{-5, 0, 30, 20}, 0}}, true, {-10, 0, 30, 20}, 0},
    {"MergeGrowsEveryEdge", {{{100, 100, 200, 200}, 0}, {{50, 60, 300, 400}, 0}, {{10, 10, 20, 20}, 0}}, true,
     {10, 10, 300, 400}, 0},
    {"FlagTwo", {{{0, 0, 1, 1}, 2}}, true, {0, 0, 1, 1}, 2},
    {"FlagFour", {{{0, 0, 1, 1}, 4}}, true, {0, 0, 1, 1}, 4},
    {"FlagsSixAddOnlyTwo", {{{0, 0, 1, 1}, 6}}, true, {0, 0, 1, 1}, 2},
    {"FlagOneAddsNothing", {{{0, 0, 1, 1}, 1}}, true, {0, 0, 1, 1}, 0},
    {"OtherBitsDropped", {{{0, 0, 1, 1}, 0xFFFFFFF9u}}, true, {0, 0, 1, 1}, 0},
    {"FlagsGathered", {{{0, 0, 1, 1}, 4}, {{0, 0, 1, 1}, 1}, {{0, 0, 1, 1}, 6}}, true, {0, 0, 1, 1}, 6},
};

class ALMonitorHookMergeTest : public ALMonitorHookTest, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(ALMonitorHookMergeTest, EmptiesTheRingIntoOneRectangleAndFlagSet) {
    const MergeCase& Case = GetParam();
    ALMonitorHook Monitor;
    ASSERT_TRUE(PlugAndMap(Monitor));
    for (const auto& Entry : Case.Entries)
        ASSERT_TRUE(Announce(Entry.Rectangle, Entry.Flags));
    RECT Rectangle = kUntouched;
    UINT32 Flags = 99;
    EXPECT_EQ(Monitor.UpdateRectanglesRetrieve(kWidth, kHeight, &Rectangle, &Flags), Case.bRetrieved);
    EXPECT_EQ(Rectangle.left, Case.Expected.left);
    EXPECT_EQ(Rectangle.top, Case.Expected.top);
    EXPECT_EQ(Rectangle.right, Case.Expected.right);
    EXPECT_EQ(Rectangle.bottom, Case.Expected.bottom);
    EXPECT_EQ(Flags, Case.ExpectedFlags);
    const auto Header = UpdateRingHeader();
    EXPECT_EQ(Header.Consumer, Header.Producer);
}

INSTANTIATE_TEST_SUITE_P(Table, ALMonitorHookMergeTest, ::testing::ValuesIn(kMergeCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

TEST_F(ALMonitorHookTest, RingWrapsAcrossItsLastElement) {
    ALMonitorHook Monitor;
    ASSERT_TRUE(PlugAndMap(Monitor));
    const uint32_t Count = UpdateRingHeader().CountElements;
    RECT Rectangle{};
    UINT32 Flags = 0;
    // Move both indexes to the last element, then let entries straddle it.
    for (uint32_t Index = 0; Index + 1 < Count; ++Index) {
        ASSERT_TRUE(Announce(RECT{0, 0, 1, 1}, 0));
        ASSERT_TRUE(Monitor.UpdateRectanglesRetrieve(kWidth, kHeight, &Rectangle, &Flags));
    }
    ASSERT_EQ(UpdateRingHeader().Consumer, Count - 1);
    ASSERT_TRUE(Announce(RECT{5, 5, 10, 10}, 4));
    ASSERT_TRUE(Announce(RECT{20, 20, 30, 30}, 0));
    ASSERT_TRUE(Monitor.UpdateRectanglesRetrieve(kWidth, kHeight, &Rectangle, &Flags));
    EXPECT_EQ(Rectangle.left, 5);
    EXPECT_EQ(Rectangle.bottom, 30);
    EXPECT_EQ(Flags, 4u);
    EXPECT_EQ(UpdateRingHeader().Consumer, 1u);
}

struct OverflowCase {
    uint32_t Overflow;
    bool bOverflow;
    size_t Remaining;  // entries left in the ring afterwards
    uint32_t OverflowAfter;
};

class ALMonitorHookOverflowTest : public ALMonitorHookTest, public ::testing::WithParamInterface<OverflowCase> {};

TEST_P(ALMonitorHookOverflowTest, OnlyOneDiscardsThePendingEntries) {
    ALMonitorHook Monitor;
    ASSERT_TRUE(PlugAndMap(Monitor));
    ASSERT_TRUE(Announce(RECT{0, 0, 10, 10}, 2));
    ASSERT_TRUE(Announce(RECT{0, 0, 20, 20}, 0));
    auto Header = UpdateRingHeader();
    Header.Overflow = GetParam().Overflow;
    ASSERT_TRUE(m_pDriver->RingHeaderWrite(1, 2, SimHookDriver::Ring::Updates, Header));
    EXPECT_EQ(Monitor.OverflowCheckAndDrain(), GetParam().bOverflow);
    Header = UpdateRingHeader();
    EXPECT_EQ(Header.Producer - Header.Consumer, GetParam().Remaining);
    EXPECT_EQ(Header.Overflow, GetParam().OverflowAfter);
}

INSTANTIATE_TEST_SUITE_P(Values, ALMonitorHookOverflowTest,
                         ::testing::Values(OverflowCase{1, true, 0, 0}, OverflowCase{2, false, 2, 2},
                                           OverflowCase{0, false, 2, 0}));

TEST_F(ALMonitorHookTest, CorruptUpdateRingReadsAsEmptyAndLogsOnce) {
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    ALMonitorHook Monitor;
    ASSERT_TRUE(PlugAndMap(Monitor));
    ASSERT_TRUE(Announce(RECT{0, 0, 10, 10}, 0));
    auto Header = UpdateRingHeader();
    Header.Consumer = 5000;
    ASSERT_TRUE(m_pDriver->RingHeaderWrite(1, 2, SimHookDriver::Ring::Updates, Header));
    RECT Rectangle = kUntouched;
    for (int Attempt = 0; Attempt < 3; ++Attempt)
        EXPECT_FALSE(Monitor.UpdateRectanglesRetrieve(kWidth, kHeight, &Rectangle, nullptr));
    EXPECT_EQ(Rectangle.left, kUntouched.left);
    EXPECT_EQ(UpdateRingHeader().Consumer, 5000u);
    EXPECT_EQ(Capture.Lines(),
              std::vector<std::wstring>{LogLine(L"ALCircularBufferReader::ElementTake failed! UPD ring Consumer 5000 at "
                                                L"or beyond CountElements 32, read as empty\n")});
}

TEST_F(ALMonitorHookTest, UnmappedMonitorReadsNoUpdateRing) {
    ALMonitorHook Monitor;
    ASSERT_TRUE(PlugAndMap(Monitor));
    ASSERT_TRUE(Announce(RECT{0, 0, 10, 10}, 0));
    ASSERT_TRUE(Monitor.Unmap(m_Device, &m_FrameBuffer, false));
    RECT Rectangle{};
    EXPECT_FALSE(Monitor.UpdateRectanglesRetrieve(kWidth, kHeight, &Rectangle, nullptr));
    EXPECT_FALSE(Monitor.OverflowCheckAndDrain());
}

TEST_F(ALMonitorHookTest, ZeroCopyForwardsTheMonitorsIndexesAndConvertsAddresses) {
    ALMonitorHook Monitor;
    ASSERT_TRUE(PlugAndMap(Monitor));
    void* pFrame = nullptr;
    void* pAuxiliary = nullptr;
    UINT32 Pitch = 0, AuxiliaryPitch = 0;
    ASSERT_TRUE(Monitor.ZeroCopyUpdate(m_Device, &pFrame, &Pitch, &pAuxiliary, &AuxiliaryPitch));
    EXPECT_NE(pFrame, nullptr);
    EXPECT_NE(pAuxiliary, nullptr);
    EXPECT_EQ(Pitch, m_FrameBuffer.Pitch);
    EXPECT_EQ(AuxiliaryPitch, m_FrameBuffer.Pitch);
    EXPECT_EQ(m_pDriver->ZeroCopyMappingCount(1, 2), 1u);
    const auto In =
        m_pDriver->Requests().ListOfCode(ALIoctlCode::MonitorFrameBufferZeroCopyUpdate).at(0).InputAs<IoctlInfoZeroCopyIn>();
    EXPECT_EQ(In.AdapterIndex, 1u);
    EXPECT_EQ(In.MonitorIndex, 2u);
    ASSERT_TRUE(Monitor.ZeroCopyUnmap(m_Device, pAuxiliary));
    EXPECT_EQ(m_pDriver->ZeroCopyMappingCount(1, 2), 0u);
    EXPECT_FALSE(Monitor.ZeroCopyUnmap(m_Device, nullptr));
}

// The frame thread's update rectangle on top of the rings.
class UpdateRectProbe : public ALThreadFrameBufferHook {
public:
    using ALThreadFrameBufferHook::ALThreadFrameBufferHook;
    using ALThreadFrameBufferHook::PrivateGetUpdateRect;
    ALMonitorHook& Monitor() { return FrameBuffer; }
};

struct UpdateRectCase {
    const char* pName;
    std::vector<UpdateEntry> Entries;
    bool bOverflow;
    RECT Expected;
    UINT32 ExpectedFlags;
    bool bRetrieved;
};

const UpdateRectCase kUpdateRectCases[] = {
    {"EmptyRingIsTheWholeFrame", {}, false, {0, 0, 640, 480}, 0, false},
    {"EntriesMerged", {{{10, 10, 20, 20}, 4}, {{30, 5, 40, 15}, 0}}, false, {10, 5, 40, 20}, 4, true},
    {"OverflowDiscardsEntriesAndTheirFlags", {{{10, 10, 20, 20}, 2}}, true, {0, 0, 640, 480}, 0, false},
    {"OverflowWithEmptyRing", {}, true, {0, 0, 640, 480}, 0, false},
};

class UpdateRectTest : public ALMonitorHookTest, public ::testing::WithParamInterface<UpdateRectCase> {};

TEST_P(UpdateRectTest, FromTheRingOrTheWholeFrame) {
    const UpdateRectCase& Case = GetParam();
    UpdateRectProbe Thread(&m_Device);
    ASSERT_TRUE(Plug(Thread.Monitor()));
    ASSERT_TRUE(Thread.Monitor().Map(m_Device, &m_FrameBuffer));
    for (const auto& Entry : Case.Entries)
        ASSERT_TRUE(Announce(Entry.Rectangle, Entry.Flags));
    if (Case.bOverflow) {
        ASSERT_TRUE(m_pDriver->UpdateRingOverflowRaise(1, 2));
    }
    RECT Rectangle{-1, -1, -1, -1};
    bool bRetrieved = !Case.bRetrieved;
    bool bOverflow = !Case.bOverflow;
    UINT32 Flags = 99;
    Thread.PrivateGetUpdateRect(&m_FrameBuffer, &Rectangle, &bRetrieved, &bOverflow, &Flags);
    EXPECT_EQ(Rectangle.left, Case.Expected.left);
    EXPECT_EQ(Rectangle.top, Case.Expected.top);
    EXPECT_EQ(Rectangle.right, Case.Expected.right);
    EXPECT_EQ(Rectangle.bottom, Case.Expected.bottom);
    EXPECT_EQ(Flags, Case.ExpectedFlags);
    EXPECT_EQ(bRetrieved, Case.bRetrieved);
    EXPECT_EQ(bOverflow, Case.bOverflow);
    // Out-pointers other than the rectangle may be null.
    ASSERT_TRUE(Announce(RECT{1, 2, 3, 4}, 2));
    Thread.PrivateGetUpdateRect(&m_FrameBuffer, &Rectangle, nullptr, nullptr, nullptr);
    EXPECT_EQ(Rectangle.right, 3);
    Thread.Monitor().Unmap(m_Device, &m_FrameBuffer, true);
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateRectTest, ::testing::ValuesIn(kUpdateRectCases),
                         [](const auto& Info) { return std::string(Info.param.pName); });

}  // namespace
