// Thread bases on the simulated machine, where a test can tell that a waiter
// has reached its wait: the owner's wait ends when the thread ends, and the
// thread's handle is closed exactly once.
#include <gtest/gtest.h>

#include <future>

#include "hook/ALThreadBase.h"
#include "platform/machine.h"

namespace {

class BlockingThread : public ALThreadBase {
public:
    BlockingThread() : m_hRelease(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~BlockingThread() override { CloseHandle(m_hRelease); }
    void Run() override { WaitForSingleObject(m_hRelease, INFINITE); }
    void Release() { SetEvent(m_hRelease); }

private:
    HANDLE m_hRelease;
};

TEST(ALThreadBaseMachine, OwnerWaitEndsWhenTheThreadEnds) {
    long HandlesBefore = MachineHandlesLive();
    long WaitersBefore = MachineWaitersBlocked();
    {
        BlockingThread Thread;
        ASSERT_TRUE(Thread.Start());
        ASSERT_TRUE(MachineWaitersBlockedAwait(WaitersBefore + 1, 10000));  // Run waits
        std::future<bool> Waited = std::async(std::launch::async, [&] { return Thread.WaitForExit(INFINITE); });
        ASSERT_TRUE(MachineWaitersBlockedAwait(WaitersBefore + 2, 10000));  // owner waits
        Thread.Release();
        EXPECT_TRUE(Waited.get());
        EXPECT_FALSE(Thread.IsRunning());
    }
    // Thread handle, its owner-side duplicate and the test's event: all closed.
    EXPECT_EQ(MachineHandlesLive(), HandlesBefore);
}

TEST(ALThreadBaseMachine, RefusedSecondStartLeavesNoThreadBehind) {
    long ThreadsBefore = MachineThreadsLive();
    long HandlesBefore = MachineHandlesLive();
    {
        BlockingThread Thread;
        ASSERT_TRUE(Thread.Start());
        EXPECT_FALSE(Thread.Start());
        EXPECT_EQ(MachineThreadsLive(), ThreadsBefore + 1);
        Thread.Release();
        Thread.WaitForExit(INFINITE);
    }
    EXPECT_EQ(MachineHandlesLive(), HandlesBefore);
}

}  // namespace
