#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "DebugLevelScope.h"
#include "LogLine.h"
#include "platform/DebugCapture.h"
#include "platform/win32.h"
#include "support/ALUtilStructuredException.h"

namespace {

struct CodeNameCase {
    unsigned int Code;
    const wchar_t* Text;
};

const CodeNameCase kCodeNameCases[] = {
    {0xC0000005u, L"EXCEPTION_ACCESS_VIOLATION\n"},
    {0xC000008Cu, L"EXCEPTION_ARRAY_BOUNDS_EXCEEDED\n"},
    {0x80000003u, L"EXCEPTION_BREAKPOINT\n"},
    {0x80000002u, L"EXCEPTION_DATATYPE_MISALIGNMENT\n"},
    {0xC000008Du, L"EXCEPTION_FLT_DENORMAL_OPERAND\n"},
    {0xC000008Eu, L"EXCEPTION_FLT_DIVIDE_BY_ZERO\n"},
    {0xC000008Fu, L"EXCEPTION_FLT_INEXACT_RESULT\n"},
    {0xC0000090u, L"STATUS_FLOAT_INVALID_OPERATION\n"},
    {0xC0000091u, L"EXCEPTION_FLT_OVERFLOW\n"},
    {0xC0000092u, L"EXCEPTION_FLT_STACK_CHECK\n"},
    {0xC0000093u, L"EXCEPTION_FLT_UNDERFLOW\n"},
    {0x80000001u, L"EXCEPTION_GUARD_PAGE\n"},
    {0xC000001Du, L"EXCEPTION_ILLEGAL_INSTRUCTION\n"},
    {0xC0000094u, L"EXCEPTION_INT_DIVIDE_BY_ZERO\n"},
    {0xC0000095u, L"EXCEPTION_INT_OVERFLOW\n"},
    {0xC0000026u, L"EXCEPTION_INVALID_DISPOSITION\n"},
    {0xC0000008u, L"EXCEPTION_INVALID_HANDLE\n"},
    {0xC0000025u, L"EXCEPTION_NONCONTINUABLE_EXCEPTION\n"},
    {0xC0000096u, L"EXCEPTION_PRIV_INSTRUCTION\n"},
    {0x80000004u, L"EXCEPTION_SINGLE_STEP\n"},
    {0xC00000FDu, L"EXCEPTION_STACK_OVERFLOW\n"},
    {0x80000029u, L"STATUS_UNWIND_CONSOLIDATE\n"},
    // not in the table: the code as a signed decimal
    {0xC0000409u, L"EXCEPTION_XXX -1073740791 unknown\n"},
    {0xE06D7363u, L"EXCEPTION_XXX -529697949 unknown\n"},
    {0x40010006u, L"EXCEPTION_XXX 1073807366 unknown\n"},
    {0u, L"EXCEPTION_XXX 0 unknown\n"},
};

class ALUtilExceptionCodeLogTest : public ::testing::TestWithParam<CodeNameCase> {};

TEST_P(ALUtilExceptionCodeLogTest, LogsTheCodesNameAtErrorLevel) {
    const CodeNameCase& Case = GetParam();
    DebugLevelScope Level(AL_DEBUG_ERROR);
    DebugCapture Capture;
    EXPECT_EQ(ALUtilExceptionCodeLog(Case.Code), 1);
    EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(Case.Text)}) << std::hex << Case.Code;
}

INSTANTIATE_TEST_SUITE_P(Table, ALUtilExceptionCodeLogTest, ::testing::ValuesIn(kCodeNameCases));

TEST(ALUtilExceptionCodeLog, WritesNothingBelowErrorLevel) {
    DebugLevelScope Level(AL_DEBUG_THREAD);
    DebugCapture Capture;
    EXPECT_EQ(ALUtilExceptionCodeLog(0xC0000005u), 1);
    EXPECT_TRUE(Capture.Lines().empty());
}

TEST(ALUtilStructuredExceptionTranslator, ThrowsTheCodeAsUnsignedInt) {
    unsigned int Caught = 0;
    try {
        ALUtilStructuredExceptionTranslator(0xC0000094u, nullptr);
    } catch (unsigned int Code) {
        Caught = Code;
    }
    EXPECT_EQ(Caught, 0xC0000094u);
}

// Read at run time, so that no compiler can see the null or the zero.
volatile int* volatile g_pNull = nullptr;
volatile int g_Zero = 0;
volatile int g_Sink = 0;

PLATFORM_FAULTING_FUNCTION void NullRead() { g_Sink = *g_pNull; }
PLATFORM_FAULTING_FUNCTION void IntegerDivide() { g_Sink = 1000 / g_Zero; }

class DestructionCounter {
public:
    explicit DestructionCounter(int& Count) : m_Count(Count) {}
    ~DestructionCounter() { ++m_Count; }
    DestructionCounter(const DestructionCounter&) = delete;
    DestructionCounter& operator=(const DestructionCounter&) = delete;

private:
    int& m_Count;
};

const char kHandlerName[] = "ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged";

// Guard tests run on a thread of their own: the guard leaves its translator
// installed on the thread that used it.
template <typename Test>
void OnFreshThread(Test&& Body) {
    std::thread Worker(std::forward<Test>(Body));
    Worker.join();
}

struct GuardFaultCase {
    const char* Name;
    void (*Raise)();
    const wchar_t* CodeText;
};

const GuardFaultCase kGuardFaultCases[] = {
    {"NullRead", &NullRead, L"EXCEPTION_ACCESS_VIOLATION\n"},
    {"IntegerDivideByZero", &IntegerDivide, L"EXCEPTION_INT_DIVIDE_BY_ZERO\n"},
};

class ALUtilGuardedRunTest : public ::testing::TestWithParam<GuardFaultCase> {};

// A hardware fault in the body ends the body (its locals destroyed, the rest
// skipped) and is reported as a structured exception with the code's name.
TEST_P(ALUtilGuardedRunTest, HardwareFaultIsReportedAsStructuredException) {
    const GuardFaultCase Case = GetParam();
    OnFreshThread([&Case] {
        DebugLevelScope Level(AL_DEBUG_ERROR);
        DebugCapture Capture;
        int Destroyed = 0;
        bool bRestRan = false;
        const bool bCompleted = ALUtilGuardedRun(kHandlerName, [&] {
            DestructionCounter Local(Destroyed);
            Case.Raise();
            bRestRan = true;
        });
        EXPECT_FALSE(bCompleted);
        EXPECT_FALSE(bRestRan);
        EXPECT_EQ(Destroyed, 1);
        EXPECT_EQ(Capture.Lines(),
                  (std::vector<std::wstring>{
                      LogLine(L"ALThreadFrameBufferHook::PrivateOnEventFrameBufferChanged failed! STRUCTURED EXCEPTION\n"),
                      LogLine(Case.CodeText)}));
    });
}

INSTANTIATE_TEST_SUITE_P(Faults, ALUtilGuardedRunTest, ::testing::ValuesIn(kGuardFaultCases),
                         [](const ::testing::TestParamInfo<GuardFaultCase>& Info) {
                             return std::string(Info.param.Name);
                         });

TEST(ALUtilGuardedRun, CompletedBodyReturnsTrueAndLogsNothing) {
    OnFreshThread([] {
        DebugLevelScope Level(AL_DEBUG_ALL);
        DebugCapture Capture;
        int Result = 0;
        EXPECT_TRUE(ALUtilGuardedRun(kHandlerName, [&] { Result = 42; }));
        EXPECT_EQ(Result, 42);
        EXPECT_TRUE(Capture.Lines().empty());
    });
}

TEST(ALUtilGuardedRun, LanguageExceptionIsReportedWithoutCodeName) {
    OnFreshThread([] {
        DebugLevelScope Level(AL_DEBUG_ERROR);
        DebugCapture Capture;
        int Destroyed = 0;
        const bool bCompleted = ALUtilGuardedRun("ALThreadFrameBufferIddCxSwapChain::PrivateResourceCopy", [&] {
            DestructionCounter Local(Destroyed);
            throw std::runtime_error("thrown by the monitor instance");
        });
        EXPECT_FALSE(bCompleted);
        EXPECT_EQ(Destroyed, 1);
        EXPECT_EQ(Capture.Lines(), std::vector<std::wstring>{LogLine(
                                       L"ALThreadFrameBufferIddCxSwapChain::PrivateResourceCopy failed! C++ EXCEPTION\n")});
    });
}

TEST(ALUtilGuardedRun, ReportsNothingWhenTheLevelIsOff) {
    OnFreshThread([] {
        DebugLevelScope Level(0);
        DebugCapture Capture;
        EXPECT_FALSE(ALUtilGuardedRun(kHandlerName, [] { throw 1.5; }));
        EXPECT_TRUE(Capture.Lines().empty());
    });
}

// The thread goes on after a fault: it faults and recovers again, runs
// clean bodies in between, and the translator stays installed afterwards,
// so a later fault outside any guard is translated too.
TEST(ALUtilGuardedRun, HardwareFaultLeavesTheThreadRunning) {
    OnFreshThread([] {
        DebugLevelScope Level(AL_DEBUG_ERROR);
        DebugCapture Capture;
        int Completed = 0;
        for (int Round = 0; Round < 3; ++Round) {
            EXPECT_FALSE(ALUtilGuardedRun(kHandlerName, &NullRead)) << "round " << Round;
            EXPECT_TRUE(ALUtilGuardedRun(kHandlerName, [&] { ++Completed; })) << "round " << Round;
            EXPECT_FALSE(ALUtilGuardedRun(kHandlerName, &IntegerDivide)) << "round " << Round;
        }
        EXPECT_EQ(Completed, 3);
        EXPECT_EQ(Capture.Lines().size(), 12u);

        EXPECT_EQ(PlatformSeTranslatorSet(&ALUtilStructuredExceptionTranslator), &ALUtilStructuredExceptionTranslator);
        unsigned int Caught = 0;
        try {
            NullRead();
        } catch (unsigned int Code) {
            Caught = Code;
        }
        EXPECT_EQ(Caught, 0xC0000005u);
    });
}

}  // namespace
