#include "HookFrameThreadFixture.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "driver/ALIoctlCode.h"

IoctlInfoMonitorFrameBuffer HookFrameThreadTest::MapRecord() const {
    for (const auto& Request : m_pDriver->Requests().ListOfCode(ALIoctlCode::MonitorFrameBufferMap))
        if (Request.Error == ERROR_SUCCESS)
            return Request.OutputReturnedAs<IoctlInfoMonitorFrameBuffer>();
    return IoctlInfoMonitorFrameBuffer{};
}

RecordedCall HookFrameThreadTest::UpdateAwait(size_t Ordinal) {
    EXPECT_TRUE(m_pLog->WaitForCount(RecordedCall::Kind::FrameBufferUpdate, Ordinal));
    const auto List = Updates();
    return List.size() >= Ordinal ? List[Ordinal - 1] : RecordedCall{};
}

size_t HookFrameThreadTest::LinesWith(const std::wstring& Fragment) {
    size_t Count = 0;
    for (const auto& Line : MachineDebugLines())
        Count += Line.find(Fragment) != std::wstring::npos ? 1 : 0;
    return Count;
}

bool HookFrameThreadTest::LineLogged(const std::wstring& Message) {
    // Any thread of this process: the prefix up to "]:", then exactly the message.
    for (const auto& Line : MachineDebugLines()) {
        const size_t End = Line.find(L"]:");
        if (Line.rfind(L"AL [", 0) == 0 && End != std::wstring::npos && Line.compare(End + 2, std::wstring::npos, Message) == 0)
            return true;
    }
    return false;
}

int64_t HookFrameThreadTest::MachineTicksPerSecond() {
    LARGE_INTEGER Frequency{};
    QueryPerformanceFrequency(&Frequency);
    return Frequency.QuadPart;
}

bool HookFrameThreadTest::LinesAwait(const std::wstring& Fragment, size_t Count, DWORD RealMilliseconds) {
    // The listener only announces a new line; the count is read from the
    // record outside the listener (it runs under the sink's lock).
    std::mutex Mutex;
    std::condition_variable Changed;
    uint64_t Generation = 0;
    const size_t Listener = MachineDebugListenerAdd([&](const std::wstring&) {
        std::lock_guard<std::mutex> Lock(Mutex);
        ++Generation;
        Changed.notify_all();
    });
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(RealMilliseconds);
    bool bReached = false;
    for (;;) {
        uint64_t Seen = 0;
        {
            std::lock_guard<std::mutex> Lock(Mutex);
            Seen = Generation;
        }
        if (LinesWith(Fragment) >= Count) {
            bReached = true;
            break;
        }
        std::unique_lock<std::mutex> Lock(Mutex);
        if (!Changed.wait_until(Lock, Deadline, [&] { return Generation != Seen; }))
            break;
    }
    MachineDebugListenerRemove(Listener);
    return bReached;
}
