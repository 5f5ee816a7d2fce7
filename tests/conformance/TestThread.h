// Runs a callable on a thread made with CreateThread, for tests. The callable
// returns the thread's exit code. The destructor waits for the thread and
// closes its handle; a thread that does not end within the join limit is
// reported as a test failure and left alone (never waited on without end).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "platform/win32.h"

class TestThread {
public:
    static constexpr DWORD kJoinLimitMilliseconds = 20000;

    template <typename Callable>
    explicit TestThread(Callable Body, DWORD dwCreationFlags = 0)
        : m_pBody(std::make_unique<BodyOf<Callable>>(std::move(Body))) {
        m_hThread = CreateThread(nullptr, 0, &TestThread::Procedure, m_pBody.get(), dwCreationFlags, &m_Id);
        EXPECT_NE(m_hThread, nullptr) << "CreateThread failed, error " << GetLastError();
    }

    ~TestThread() {
        if (m_hThread == nullptr)
            return;
        if (!ExitWait()) {
            ADD_FAILURE() << "test thread " << m_Id << " did not end";
            m_pBody.release();  // the thread may still use it
            return;
        }
        CloseHandle(m_hThread);
    }

    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    HANDLE HandleGet() const { return m_hThread; }
    DWORD IdGet() const { return m_Id; }

    // Waits (within the join limit) for the thread to end.
    bool ExitWait() const { return WaitForSingleObject(m_hThread, kJoinLimitMilliseconds) == WAIT_OBJECT_0; }

    DWORD ExitCodeGet() const {
        DWORD Code = 0;
        EXPECT_TRUE(GetExitCodeThread(m_hThread, &Code));
        return Code;
    }

private:
    struct Body {
        virtual ~Body() = default;
        virtual DWORD Run() = 0;
    };
    template <typename Callable>
    struct BodyOf : Body {
        explicit BodyOf(Callable Function) : m_Function(std::move(Function)) {}
        DWORD Run() override { return m_Function(); }
        Callable m_Function;
    };

    static DWORD WINAPI Procedure(LPVOID lpParameter) { return static_cast<Body*>(lpParameter)->Run(); }

    std::unique_ptr<Body> m_pBody;
    HANDLE m_hThread = nullptr;
    DWORD m_Id = 0;
};
