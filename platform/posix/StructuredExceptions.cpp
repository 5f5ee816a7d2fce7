// Structured exceptions on POSIX: synchronous fault signals become calls of
// the faulting thread's translator, made from the signal handler itself. The
// translator throws; with -fnon-call-exceptions the unwinder passes through
// the kernel's signal frame into the faulting code and on to its handlers,
// running the destructors on the way.
//
// SA_NODEFER keeps the signal unblocked while the handler runs, so that a
// thread that left the handler by unwinding can fault and recover again.
#include <csignal>
#include <exception>
#include <mutex>

#include "platform/seh.h"

namespace {

constexpr unsigned int kAccessViolation = 0xC0000005u;
constexpr unsigned int kIllegalInstruction = 0xC000001Du;
constexpr unsigned int kPrivilegedInstruction = 0xC0000096u;
constexpr unsigned int kIntegerDivideByZero = 0xC0000094u;
constexpr unsigned int kIntegerOverflow = 0xC0000095u;
constexpr unsigned int kArrayBoundsExceeded = 0xC000008Cu;
constexpr unsigned int kFloatDivideByZero = 0xC000008Eu;
constexpr unsigned int kFloatInexactResult = 0xC000008Fu;
constexpr unsigned int kFloatInvalidOperation = 0xC0000090u;
constexpr unsigned int kFloatOverflow = 0xC0000091u;
constexpr unsigned int kFloatUnderflow = 0xC0000093u;

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int kFaultSignalCount = sizeof(kFaultSignals) / sizeof(kFaultSignals[0]);

thread_local PlatformSeTranslatorFunction t_Translator = nullptr;

// What was installed before us, for threads that have no translator.
struct sigaction g_PreviousActions[kFaultSignalCount];
std::once_flag g_InstallOnce;

unsigned int PrivateFloatCode(int SignalCode) {
    switch (SignalCode) {
    case FPE_INTDIV: return kIntegerDivideByZero;
    case FPE_INTOVF: return kIntegerOverflow;
    case FPE_FLTDIV: return kFloatDivideByZero;
    case FPE_FLTOVF: return kFloatOverflow;
    case FPE_FLTUND: return kFloatUnderflow;
    case FPE_FLTRES: return kFloatInexactResult;
    case FPE_FLTSUB: return kArrayBoundsExceeded;
    default: return kFloatInvalidOperation;
    }
}

unsigned int PrivateExceptionCode(int Signal, const siginfo_t* pInfo) {
    switch (Signal) {
    case SIGFPE: return PrivateFloatCode(pInfo->si_code);
    case SIGILL: return pInfo->si_code == ILL_PRVOPC ? kPrivilegedInstruction : kIllegalInstruction;
    default: return kAccessViolation;
    }
}

int PrivateSignalIndex(int Signal) {
    for (int i = 0; i < kFaultSignalCount; ++i)
        if (kFaultSignals[i] == Signal)
            return i;
    return -1;
}

// No translator on this thread: behave as if we were not there. A handler
// installed before us gets the signal; otherwise the default action is
// restored, and the fault, re-executed on return, ends the process with its
// own signal (a sent signal is raised again instead).
void PrivateSignalPass(int Signal, siginfo_t* pInfo, void* pContext) {
    const int Index = PrivateSignalIndex(Signal);
    const struct sigaction* pPrevious = Index >= 0 ? &g_PreviousActions[Index] : nullptr;
    if (pPrevious != nullptr && (pPrevious->sa_flags & SA_SIGINFO) && pPrevious->sa_sigaction != nullptr) {
        pPrevious->sa_sigaction(Signal, pInfo, pContext);
        return;
    }
    if (pPrevious != nullptr && !(pPrevious->sa_flags & SA_SIGINFO) && pPrevious->sa_handler != SIG_DFL &&
        pPrevious->sa_handler != SIG_IGN) {
        pPrevious->sa_handler(Signal);
        return;
    }
    struct sigaction Default = {};
    Default.sa_handler = SIG_DFL;
    sigemptyset(&Default.sa_mask);
    sigaction(Signal, &Default, nullptr);
    if (pInfo->si_code <= 0)
        raise(Signal);
}

void PrivateSignalHandler(int Signal, siginfo_t* pInfo, void* pContext) {
    const PlatformSeTranslatorFunction pTranslator = t_Translator;
    if (pTranslator == nullptr || pInfo->si_code <= 0) {
        PrivateSignalPass(Signal, pInfo, pContext);
        return;
    }
    pTranslator(PrivateExceptionCode(Signal, pInfo), nullptr);
    // Returning would re-execute the faulting instruction for ever.
    std::terminate();
}

void PrivateHandlersInstall() {
    struct sigaction Action = {};
    Action.sa_sigaction = &PrivateSignalHandler;
    Action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&Action.sa_mask);
    for (int i = 0; i < kFaultSignalCount; ++i)
        sigaction(kFaultSignals[i], &Action, &g_PreviousActions[i]);
}

}  // namespace

PlatformSeTranslatorFunction PlatformSeTranslatorSet(PlatformSeTranslatorFunction pTranslator) {
    std::call_once(g_InstallOnce, &PrivateHandlersInstall);
    const PlatformSeTranslatorFunction pPrevious = t_Translator;
    t_Translator = pTranslator;
    return pPrevious;
}
