// Per-thread translation of structured exceptions (hardware faults such as
// an invalid memory access or an integer division by zero) into language
// exceptions, on every build.
//
// MSVC builds use the C runtime's _set_se_translator (with /EHa); mingw builds
// use a vectored exception handler and POSIX builds signal handlers, both
// redirecting the faulting thread into the installed translator, which throws
// from there. Code that may fault must be compiled with -fnon-call-exceptions
// on GCC-like builds (the project does so everywhere).
//
// Codes delivered on mingw and POSIX builds (the hardware faults only):
//   invalid access (SIGSEGV, SIGBUS)          0xC0000005
//   integer division by zero (SIGFPE)         0xC0000094
//   integer overflow                          0xC0000095
//   floating-point faults                     0xC000008C..0xC0000093
//   illegal / privileged instruction          0xC000001D / 0xC0000096
//   misaligned data (mingw)                   0x80000002
//   in-page error (mingw)                     0xC0000006
// Debug-print, breakpoint, stack-overflow and language exceptions are never
// translated. pExceptionPointers is null on mingw and POSIX builds: the
// fault's record no longer exists when the translator runs.
//
// A thread without a translator is left alone: its fault goes on to the
// next handler (and, unhandled, ends the process as it would otherwise).
#pragma once

struct _EXCEPTION_POINTERS;

typedef void (*PlatformSeTranslatorFunction)(unsigned int ExceptionCode,
                                            struct _EXCEPTION_POINTERS* pExceptionPointers);

// Installs pTranslator for the calling thread and returns the previous one.
// The first call in the process installs the process-wide handler. The
// translator must not return (it throws); a translator that returns from a
// translated fault ends the process.
PlatformSeTranslatorFunction PlatformSeTranslatorSet(PlatformSeTranslatorFunction pTranslator);

// Marks a function that faults on purpose (tests): kept out of line, and out
// of UBSan's checks, which would otherwise stop the program before the
// hardware fault is raised.
#if defined(__GNUC__) || defined(__clang__)
#  define PLATFORM_FAULTING_FUNCTION __attribute__((noinline, no_sanitize("undefined")))
#elif defined(_MSC_VER)
#  define PLATFORM_FAULTING_FUNCTION __declspec(noinline)
#else
#  define PLATFORM_FAULTING_FUNCTION
#endif
