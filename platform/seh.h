// Per-thread translation of structured exceptions (hardware faults such as
// an invalid memory access or an integer division by zero) into language
// exceptions, on every build.
//
// MSVC builds use the C runtime's _set_se_translator (with /EHa); mingw builds
// use a vectored exception handler and POSIX builds signal handlers, both
// redirecting the faulting thread into the installed translator. Code that
// may fault must be compiled with -fnon-call-exceptions on GCC-like builds.
#pragma once

struct _EXCEPTION_POINTERS;

typedef void (*PlatformSeTranslatorFunction)(unsigned int ExceptionCode,
                                            struct _EXCEPTION_POINTERS* pExceptionPointers);

// Installs pTranslator for the calling thread and returns the previous one.
PlatformSeTranslatorFunction PlatformSeTranslatorSet(PlatformSeTranslatorFunction pTranslator);
