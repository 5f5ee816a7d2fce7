// Structured exceptions: a hardware fault on a thread with a translator
// arrives there as the Win32 exception code, as a language exception that
// unwinds through the faulting code (destructors run), and the thread goes
// on and can fault again.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "platform/win32.h"

namespace {

constexpr unsigned int kAccessViolation = 0xC0000005u;
constexpr unsigned int kIntegerDivideByZero = 0xC0000094u;

// Read at run time, so that no compiler can see the null or the zero.
volatile int* volatile g_pNull = nullptr;
volatile int g_Zero = 0;
volatile int g_Sink = 0;

[[noreturn]] void ThrowingTranslator(unsigned int ExceptionCode, struct _EXCEPTION_POINTERS*) {
    throw ExceptionCode;
}

class TranslatorScope {
public:
    TranslatorScope() : m_pPrevious(PlatformSeTranslatorSet(&ThrowingTranslator)) {}
    ~TranslatorScope() { PlatformSeTranslatorSet(m_pPrevious); }

private:
    PlatformSeTranslatorFunction m_pPrevious;
};

// Counts its destruction; its constructor is a real call, so that the fault
// below is the first instruction of the region that must destroy it.
class Sentinel {
public:
    explicit Sentinel(int* pDestroyed);
    ~Sentinel() { ++*m_pDestroyed; }

private:
    int* m_pDestroyed;
};

PLATFORM_FAULTING_FUNCTION Sentinel::Sentinel(int* pDestroyed) : m_pDestroyed(pDestroyed) {}

enum class Fault { NullRead, IntegerDivide, NullReadInLeaf };

// No frame of its own: the fault happens at the stack alignment of a
// function entry, not of a function body.
PLATFORM_FAULTING_FUNCTION int LeafRead() { return *g_pNull; }

PLATFORM_FAULTING_FUNCTION int FaultRaise(Fault Kind, int* pDestroyed) {
    Sentinel Local(pDestroyed);
    switch (Kind) {
    case Fault::NullRead: return *g_pNull;
    case Fault::IntegerDivide: return 1000 / g_Zero;
    case Fault::NullReadInLeaf: return LeafRead() + 1;
    }
    return 0;
}

// Two frames with locals between the fault and the handler.
PLATFORM_FAULTING_FUNCTION int FaultRaiseNested(Fault Kind, int* pDestroyed) {
    Sentinel Outer(pDestroyed);
    return FaultRaise(Kind, pDestroyed) + 1;
}

struct FaultCase {
    const char* Name;
    Fault Kind;
    unsigned int ExpectedCode;
};

const FaultCase kFaultCases[] = {
    {"NullRead", Fault::NullRead, kAccessViolation},
    {"IntegerDivideByZero", Fault::IntegerDivide, kIntegerDivideByZero},
    {"NullReadInLeaf", Fault::NullReadInLeaf, kAccessViolation},
};

// Faults a few times in a row on the calling thread; each time the code
// arrives, the locals of both frames are destroyed and the thread goes on.
void FaultRepeatedly(const FaultCase& Case) {
    TranslatorScope Scope;
    for (int Round = 0; Round < 4; ++Round) {
        int Destroyed = 0;
        unsigned int Code = 0;
        try {
            g_Sink = FaultRaiseNested(Case.Kind, &Destroyed);
            ADD_FAILURE() << Case.Name << ": no fault in round " << Round;
        } catch (unsigned int Caught) {
            Code = Caught;
        }
        EXPECT_EQ(Code, Case.ExpectedCode) << Case.Name << " round " << Round;
        EXPECT_EQ(Destroyed, 2) << Case.Name << " round " << Round;
    }
}

class StructuredExceptionTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(StructuredExceptionTest, HardwareFaultArrivesOnTheFaultingThread) {
    FaultRepeatedly(GetParam());
}

TEST_P(StructuredExceptionTest, HardwareFaultArrivesOnAnotherThread) {
    const FaultCase Case = GetParam();
    std::thread Worker([Case] { FaultRepeatedly(Case); });
    Worker.join();
}

TEST(StructuredExceptionThreads, HardwareFaultsOnTwoThreadsStayApart) {
    std::thread First([] { FaultRepeatedly(kFaultCases[0]); });
    std::thread Second([] { FaultRepeatedly(kFaultCases[1]); });
    First.join();
    Second.join();
}

INSTANTIATE_TEST_SUITE_P(Faults, StructuredExceptionTest, ::testing::ValuesIn(kFaultCases),
                         [](const ::testing::TestParamInfo<FaultCase>& Info) {
                             return std::string(Info.param.Name);
                         });

TEST(StructuredExceptionTranslator, IsPerThread) {
    TranslatorScope Scope;
    PlatformSeTranslatorFunction pOnOtherThread = &ThrowingTranslator;
    std::thread Worker([&] { pOnOtherThread = PlatformSeTranslatorSet(nullptr); });
    Worker.join();
    EXPECT_EQ(pOnOtherThread, nullptr);
    EXPECT_EQ(PlatformSeTranslatorSet(&ThrowingTranslator), &ThrowingTranslator);
}

TEST(StructuredExceptionTranslator, LanguageExceptionsPassUnchanged) {
    TranslatorScope Scope;
    int Destroyed = 0;
    try {
        Sentinel Local(&Destroyed);
        throw std::runtime_error("language");
    } catch (const std::runtime_error& Error) {
        EXPECT_STREQ(Error.what(), "language");
    } catch (...) {
        ADD_FAILURE() << "a language exception was translated";
    }
    EXPECT_EQ(Destroyed, 1);
}

TEST(StructuredExceptionTranslator, DebugOutputIsNotTranslated) {
    TranslatorScope Scope;
    bool bThrown = false;
    try {
        OutputDebugStringW(L"StructuredExceptionTranslator: debug output\n");
    } catch (...) {
        bThrown = true;
    }
    EXPECT_FALSE(bThrown);
}

}  // namespace
