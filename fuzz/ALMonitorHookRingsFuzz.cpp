// The hook monitor object's use of the two rings, on the simulated hook
// driver: a monitor is plugged and mapped for each input, then the input is
// a sequence of driver events (monitor events of any content, update entries
// with any rectangle and flags, overflow marks, rewritten headers of either
// ring) and of the monitor's reads (event retrieval, overflow drain, update
// rectangle merge within a fuzzed frame size). Checked besides memory and
// undefined-behaviour safety:
//   - a retrieved event is one the driver wrote, and no event means a
//     record of zeros;
//   - the flags of a merge hold only 2 and 4; while the driver keeps the
//     update ring sound, one entry comes back as it is and two inside the
//     frame merge into their bounding box;
//   - after a drain that reported an overflow the ring reads as empty.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "FuzzMachine.h"
#include "driver/ALDeviceControlHook.h"
#include "hook/ALMonitorHook.h"
#include "platform/machine.h"
#include "sim/SimHookDriver.h"
#include "support/ALDebugLog.h"

namespace {

constexpr uint32_t kWidth = 64;
constexpr uint32_t kHeight = 48;

struct Machine {
    std::shared_ptr<SimHookDriver> m_pDriver;
    ALDeviceControlHook m_Device;
};

Machine* g_pMachine = nullptr;

std::vector<uint8_t> DescriptionMake() {
    const uint32_t Fields[9] = {0, 0, 0, 0, 1, kWidth, kHeight, 0, 60};
    std::vector<uint8_t> Record(sizeof(Fields));
    std::memcpy(Record.data(), Fields, sizeof(Fields));
    return Record;
}

RECT RectRead(FuzzInput& Input) {
    RECT Rect;
    Rect.left = static_cast<LONG>(Input.WordRead());
    Rect.top = static_cast<LONG>(Input.WordRead());
    Rect.right = static_cast<LONG>(Input.WordRead());
    Rect.bottom = static_cast<LONG>(Input.WordRead());
    return Rect;
}

void EventsRetrieve(ALMonitorHook& Monitor, const std::vector<NIMBO_MONITOR_EVENT>& Written) {
    NIMBO_MONITOR_EVENT Event;
    std::memset(&Event, 0x5A, sizeof(Event));
    if (!Monitor.CircularBufferMonitorEventsRetrieve(&Event)) {
        const NIMBO_MONITOR_EVENT Zero{};
        FUZZ_CHECK(std::memcmp(&Event, &Zero, sizeof(Event)) == 0);
        return;
    }
    bool bKnown = false;
    for (const NIMBO_MONITOR_EVENT& Candidate : Written)
        bKnown = bKnown || std::memcmp(&Candidate, &Event, sizeof(Event)) == 0;
    // The ring starts zeroed: an element the driver never wrote reads as zeros.
    const NIMBO_MONITOR_EVENT Zero{};
    FUZZ_CHECK(bKnown || std::memcmp(&Event, &Zero, sizeof(Event)) == 0);
}

void UpdatesRetrieve(ALMonitorHook& Monitor, FuzzInput& Input) {
    const uint32_t Width = Input.WordRead();
    const uint32_t Height = Input.WordRead();
    const RECT Start = RectRead(Input);
    RECT Rectangle = Start;
    UINT32 Flags = 0xFFFFFFFFu;
    const bool bTaken = Monitor.UpdateRectanglesRetrieve(Width, Height, &Rectangle, &Flags);
    FUZZ_CHECK((Flags & ~UINT32(6)) == 0);
    if (!bTaken) {
        FUZZ_CHECK(std::memcmp(&Rectangle, &Start, sizeof(RECT)) == 0);
        FUZZ_CHECK(Flags == 0);
    }
}

bool InFrame(const RECT& Rect) {
    return Rect.left >= 0 && Rect.top >= 0 && Rect.right >= 0 && Rect.bottom >= 0 && Rect.left <= LONG(kWidth) &&
           Rect.right <= LONG(kWidth) && Rect.top <= LONG(kHeight) && Rect.bottom <= LONG(kHeight);
}

// One entry comes back as it is; two inside the frame merge into their
// bounding box (edge by edge, whichever way round each one is).
void SoundMergeCheck(ALMonitorHook& Monitor, SimHookDriver& Driver, FuzzInput& Input) {
    RECT Merged{};
    Monitor.UpdateRectanglesRetrieve(kWidth, kHeight, &Merged, nullptr);  // empties the ring
    const RECT First = RectRead(Input);
    if (!Driver.FrameUpdateAnnounce(0, 0, First, 0))
        return;
    FUZZ_CHECK(Monitor.UpdateRectanglesRetrieve(kWidth, kHeight, &Merged, nullptr));
    FUZZ_CHECK(std::memcmp(&Merged, &First, sizeof(RECT)) == 0);
    const RECT Second = RectRead(Input);
    if (!Driver.FrameUpdateAnnounce(0, 0, First, 0) || !Driver.FrameUpdateAnnounce(0, 0, Second, 0))
        return;
    FUZZ_CHECK(Monitor.UpdateRectanglesRetrieve(kWidth, kHeight, &Merged, nullptr));
    if (InFrame(First) && InFrame(Second)) {
        FUZZ_CHECK(Merged.left == std::min(First.left, Second.left));
        FUZZ_CHECK(Merged.top == std::min(First.top, Second.top));
        FUZZ_CHECK(Merged.right == std::max(First.right, Second.right));
        FUZZ_CHECK(Merged.bottom == std::max(First.bottom, Second.bottom));
    }
}

// What the input has the driver and the monitor do so far.
struct History {
    std::vector<NIMBO_MONITOR_EVENT> m_Written;  // monitor events emitted
    bool m_bHeadersRewritten = false;
};

void DriverStep(SimHookDriver& Driver, unsigned Step, FuzzInput& Input, History& Past) {
    switch (Step) {
    case 0: {
        NIMBO_MONITOR_EVENT Event;
        Input.BytesRead(&Event, sizeof(Event));
        Driver.MonitorEventEmit(0, 0, Event);
        Past.m_Written.push_back(Event);
        break;
    }
    case 1: {
        const RECT Rect = RectRead(Input);
        Driver.FrameUpdateAnnounce(0, 0, Rect, Input.WordRead());
        break;
    }
    case 2:
        Driver.UpdateRingOverflowRaise(0, 0);
        break;
    default: {
        Past.m_bHeadersRewritten = true;
        CircularBufferHeader Header;
        Input.BytesRead(&Header, sizeof(Header));
        const bool bEvents = (Input.ByteRead() & 1) != 0;
        Driver.RingHeaderWrite(0, 0, bEvents ? SimHookDriver::Ring::MonitorEvents : SimHookDriver::Ring::Updates,
                               Header);
        break;
    }
    }
}

void MonitorStep(ALMonitorHook& Monitor, SimHookDriver& Driver, unsigned Step, FuzzInput& Input,
                 const History& Past) {
    switch (Step) {
    case 0:
        EventsRetrieve(Monitor, Past.m_Written);
        break;
    case 1:
        if (Monitor.OverflowCheckAndDrain()) {
            RECT Rectangle{};
            FUZZ_CHECK(!Monitor.UpdateRectanglesRetrieve(kWidth, kHeight, &Rectangle, nullptr));
        }
        break;
    case 2:
        UpdatesRetrieve(Monitor, Input);
        break;
    default:  // while the driver keeps the update ring sound
        if (!Past.m_bHeadersRewritten)
            SoundMergeCheck(Monitor, Driver, Input);
        break;
    }
}

void OneInput(FuzzInput& Input) {
    SimHookDriver& Driver = *g_pMachine->m_pDriver;
    ALMonitorHook Monitor;
    std::vector<uint8_t> Description = DescriptionMake();
    bool bAlreadyPlugged = false;
    FUZZ_CHECK(Monitor.Plug(g_pMachine->m_Device, 0, 0, static_cast<UINT32>(Description.size()), Description.data(), 0,
                            nullptr, &bAlreadyPlugged));
    IoctlInfoMonitorFrameBuffer FrameBuffer{};
    FUZZ_CHECK(Monitor.Map(g_pMachine->m_Device, &FrameBuffer));
    History Past;
    while (!Input.IsEmpty()) {
        const unsigned Step = Input.ByteRead() % 8;
        if (Step < 4)
            DriverStep(Driver, Step, Input, Past);
        else
            MonitorStep(Monitor, Driver, Step - 4, Input, Past);
    }
    Monitor.Unmap(g_pMachine->m_Device, &FrameBuffer, true);
    Monitor.Unplug(g_pMachine->m_Device);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    DebugLevelAL = 0xFF;           // every ring text is formatted
    FuzzMachineDebugSet();
    MachineDeviceReset();
    MachineRegistryReset();
    g_pMachine = new Machine;
    SimHookDriver::Config Settings;
    Settings.bVisibilityOnPlug = false;
    g_pMachine->m_pDriver = SimHookDriver::Install(Settings);
    FUZZ_CHECK(g_pMachine->m_pDriver != nullptr);
    FUZZ_CHECK(g_pMachine->m_Device.Create(L"\\\\.\\NimboHookCtrlvantor"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t CountByte) {
    FuzzInput Input(pData, CountByte);
    OneInput(Input);
    return 0;
}
