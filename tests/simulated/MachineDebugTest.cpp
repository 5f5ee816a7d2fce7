// The machine's debug sink: the record, listeners, echo and waiting for a
// text that another thread writes.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/machine.h"
#include "platform/win32.h"

namespace {

class MachineDebugTest : public ::testing::Test {
protected:
    void SetUp() override { MachineDebugClear(); }
    void TearDown() override {
        MachineDebugRecordSet(true);
        MachineDebugEchoSet(false);
        MachineDebugClear();
    }
};

TEST_F(MachineDebugTest, RecordKeepsEachCallAsOneEntry) {
    OutputDebugStringW(L"one\n");
    OutputDebugStringA("two");
    EXPECT_EQ(MachineDebugLines(), (std::vector<std::wstring>{L"one\n", L"two"}));
    EXPECT_EQ(MachineDebugLineCount(), 2u);
    MachineDebugClear();
    EXPECT_EQ(MachineDebugLineCount(), 0u);
}

TEST_F(MachineDebugTest, ListenersSeeEntriesEvenWhenRecordingIsOff) {
    std::vector<std::wstring> Seen;
    const size_t Id = MachineDebugListenerAdd([&Seen](const std::wstring& Line) { Seen.push_back(Line); });
    MachineDebugRecordSet(false);
    OutputDebugStringW(L"heard\n");
    MachineDebugListenerRemove(Id);
    OutputDebugStringW(L"not heard\n");
    EXPECT_EQ(Seen, (std::vector<std::wstring>{L"heard\n"}));
    EXPECT_EQ(MachineDebugLineCount(), 0u);
}

TEST_F(MachineDebugTest, EchoWritesUtf8ToStandardError) {
    MachineDebugEchoSet(true);
    ::testing::internal::CaptureStderr();
    OutputDebugStringW(L"AL [0001:0002]:caf\u00e9\n");
    const std::string Echo = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Echo, "AL [0001:0002]:caf\xc3\xa9\n");
}

TEST_F(MachineDebugTest, TextWaitReturnsWhenAnotherThreadWritesTheText) {
    std::thread Writer([] {
        OutputDebugStringW(L"warming up\n");
        OutputDebugStringW(L"ALThreadFrameBufferHook::Run started\n");
    });
    EXPECT_TRUE(MachineDebugTextWait(L"Run started", INFINITE));
    Writer.join();
    EXPECT_FALSE(MachineDebugTextWait(L"never written", 0));
}

}  // namespace
