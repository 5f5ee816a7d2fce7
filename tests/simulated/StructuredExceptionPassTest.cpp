// A fault on a thread without a translator stays what it was: the end of
// the process with its own signal, even while another thread has one.
// Native only: under Wine the same crash starts the debugger.
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "platform/win32.h"

namespace {

volatile int* volatile g_pNull = nullptr;
volatile int g_Sink = 0;

[[noreturn]] void ThrowingTranslator(unsigned int ExceptionCode, struct _EXCEPTION_POINTERS*) {
    throw ExceptionCode;
}

PLATFORM_FAULTING_FUNCTION void NullRead() { g_Sink = *g_pNull; }

void FaultOnThreadWithoutTranslator() {
    PlatformSeTranslatorSet(&ThrowingTranslator);
    std::thread Worker(&NullRead);
    Worker.join();
}

TEST(StructuredExceptionPassDeathTest, HardwareFaultWithoutTranslatorEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(FaultOnThreadWithoutTranslator(), ::testing::KilledBySignal(SIGSEGV), "");
}

}  // namespace
