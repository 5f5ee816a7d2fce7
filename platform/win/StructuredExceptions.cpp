// Structured exceptions on Windows.
//
// MSVC: the C runtime's per-thread translator does the whole job (/EHa).
//
// mingw-w64: a vectored exception handler sees each hardware fault first.
// When the faulting thread has a translator, the handler does not throw
// (that cannot unwind out of the dispatcher) but rewrites the thread's
// context so that, once the system continues it, the thread pushes the fault
// address as if it had made a call there and enters a small function that
// calls the translator. The translator's throw then unwinds through that
// function into the faulting code (compiled with -fnon-call-exceptions) and
// on to its handlers, running destructors on the way.
//
// The pushed "return address" is the fault address plus one: unwinders look
// up the call site at the return address minus one, so this finds the
// faulting instruction itself (the exact unwind row and handler region).
// The stack is written only after the system has continued the thread, by
// the entry stub, never while the dispatcher's records still live there.
#include "platform/win32.h"

#if defined(_MSC_VER)

#include <eh.h>

PlatformSeTranslatorFunction PlatformSeTranslatorSet(PlatformSeTranslatorFunction pTranslator) {
    return _set_se_translator(pTranslator);
}

#else  // mingw-w64

#include <exception>

namespace {

constexpr DWORD kCodeAccessViolation = 0xC0000005u;
constexpr DWORD kCodeInPageError = 0xC0000006u;
constexpr DWORD kCodeDatatypeMisalignment = 0x80000002u;
constexpr DWORD kCodeIllegalInstruction = 0xC000001Du;
constexpr DWORD kCodeArrayBoundsExceeded = 0xC000008Cu;
constexpr DWORD kCodeFloatFirst = 0xC000008Du;  // denormal operand ...
constexpr DWORD kCodeFloatLast = 0xC0000093u;   // ... underflow
constexpr DWORD kCodeIntegerDivideByZero = 0xC0000094u;
constexpr DWORD kCodeIntegerOverflow = 0xC0000095u;
constexpr DWORD kCodePrivilegedInstruction = 0xC0000096u;

// Hardware faults only. Everything else (debug-print exceptions 0x40010006
// and 0x4001000A, language exceptions 0xE06D7363 and gcc's 0x20474343,
// breakpoints, stack overflow, software exceptions) goes on untouched.
bool PrivateIsTranslatedCode(DWORD Code) {
    switch (Code) {
    case kCodeAccessViolation:
    case kCodeInPageError:
    case kCodeDatatypeMisalignment:
    case kCodeIllegalInstruction:
    case kCodeArrayBoundsExceeded:
    case kCodeIntegerDivideByZero:
    case kCodeIntegerOverflow:
    case kCodePrivilegedInstruction:
        return true;
    default:
        return Code >= kCodeFloatFirst && Code <= kCodeFloatLast;
    }
}

// Win32 thread-local slots rather than thread_local: reading them inside the
// exception handler allocates nothing and takes no lock.
DWORD g_SlotTranslator = TLS_OUT_OF_INDEXES;
DWORD g_SlotPendingCode = TLS_OUT_OF_INDEXES;

PlatformSeTranslatorFunction PrivateTranslatorGet() {
    return reinterpret_cast<PlatformSeTranslatorFunction>(TlsGetValue(g_SlotTranslator));
}

}  // namespace

// Entered from the stubs below with the fault address (plus one) as return
// address, as if the faulting instruction had called it.
extern "C" [[noreturn]]
#if defined(__i386__)
__attribute__((force_align_arg_pointer))
#endif
void PlatformSePrivateTranslatorCall() {
    const auto Code = static_cast<unsigned int>(reinterpret_cast<ULONG_PTR>(TlsGetValue(g_SlotPendingCode)));
    const PlatformSeTranslatorFunction pTranslator = PrivateTranslatorGet();
    if (pTranslator != nullptr)
        pTranslator(Code, nullptr);
    // The faulting code cannot be resumed.
    std::terminate();
}

extern "C" void PlatformSePrivateEntryAligned();
extern "C" void PlatformSePrivateEntryMisaligned();
extern "C" void PlatformSePrivateEntry();

#if defined(__x86_64__)
// The context's R11 (volatile, free at a fault) carries the return address.
// Two entries, chosen by the fault's stack alignment, so that the call into
// C++ happens on a 16-byte aligned stack with its 32-byte home area, and each
// has unwind data that restores the fault's stack pointer exactly.
asm(R"(
    .text
    .p2align 4
    .globl PlatformSePrivateEntryAligned
PlatformSePrivateEntryAligned:
    pushq %r11
    jmp PlatformSePrivateStub40
    .p2align 4
    .globl PlatformSePrivateEntryMisaligned
PlatformSePrivateEntryMisaligned:
    pushq %r11
    jmp PlatformSePrivateStub32

    .p2align 4
    .seh_proc PlatformSePrivateStub40
PlatformSePrivateStub40:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    call PlatformSePrivateTranslatorCall
    int3
    .seh_endproc

    .p2align 4
    .seh_proc PlatformSePrivateStub32
PlatformSePrivateStub32:
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    call PlatformSePrivateTranslatorCall
    int3
    .seh_endproc
)");
#elif defined(__i386__)
// The context's ECX (volatile) carries the return address; the C++ function
// realigns its own stack.
asm(R"(
    .text
    .p2align 4
    .globl _PlatformSePrivateEntry
_PlatformSePrivateEntry:
    pushl %ecx
    jmp _PlatformSePrivateTranslatorCall
)");
#else
#error "structured exception translation: unsupported processor"
#endif

namespace {

void PrivateContextRedirect(CONTEXT* pContext) {
#if defined(__x86_64__)
    pContext->R11 = pContext->Rip + 1;
    // After the stub's push the stack pointer must be 8 modulo 16, as at the
    // entry of any function.
    pContext->Rip = (pContext->Rsp % 16 == 0)
                        ? reinterpret_cast<DWORD64>(&PlatformSePrivateEntryAligned)
                        : reinterpret_cast<DWORD64>(&PlatformSePrivateEntryMisaligned);
#else
    pContext->Ecx = pContext->Eip + 1;
    pContext->Eip = reinterpret_cast<DWORD>(&PlatformSePrivateEntry);
#endif
}

LONG CALLBACK PrivateVectoredHandler(EXCEPTION_POINTERS* pExceptionPointers) {
    const DWORD Code = pExceptionPointers->ExceptionRecord->ExceptionCode;
    if (!PrivateIsTranslatedCode(Code))
        return EXCEPTION_CONTINUE_SEARCH;
    // The thread's last error belongs to it, whatever happens next.
    const DWORD LastError = GetLastError();
    if (PrivateTranslatorGet() == nullptr) {
        SetLastError(LastError);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    TlsSetValue(g_SlotPendingCode, reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(Code)));
    PrivateContextRedirect(pExceptionPointers->ContextRecord);
    SetLastError(LastError);
    return EXCEPTION_CONTINUE_EXECUTION;
}

bool PrivateHandlerInstall() {
    g_SlotTranslator = TlsAlloc();
    g_SlotPendingCode = TlsAlloc();
    if (g_SlotTranslator == TLS_OUT_OF_INDEXES || g_SlotPendingCode == TLS_OUT_OF_INDEXES)
        return false;
    return AddVectoredExceptionHandler(1, &PrivateVectoredHandler) != nullptr;
}

}  // namespace

PlatformSeTranslatorFunction PlatformSeTranslatorSet(PlatformSeTranslatorFunction pTranslator) {
    static const bool s_bInstalled = PrivateHandlerInstall();
    if (!s_bInstalled)
        return nullptr;
    const PlatformSeTranslatorFunction pPrevious = PrivateTranslatorGet();
    TlsSetValue(g_SlotTranslator, reinterpret_cast<LPVOID>(pTranslator));
    return pPrevious;
}

#endif
