#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "support/ALDebugLog.h"

// The structured exception guard of the per-frame handlers: structured
// exceptions raised inside a guarded body (invalid access, division by
// zero, ...) arrive as a thrown unsigned int carrying the exception code;
// they, and any other language exception, are reported through the log and
// end the body, never the thread.

// The per-thread translator: throws ExceptionCode as unsigned int; ignores
// pExceptionPointers (null on builds other than MSVC). Never returns.
[[noreturn]] void ALUtilStructuredExceptionTranslator(unsigned int ExceptionCode,
                                                      struct _EXCEPTION_POINTERS* pExceptionPointers);

// Logs the name of ExceptionCode at AL_DEBUG_ERROR, or "EXCEPTION_XXX %d
// unknown" with the code as a signed decimal. Always returns 1.
int32_t ALUtilExceptionCodeLog(unsigned int ExceptionCode);

// Runs Body (any callable, a lambda typically) under the guard:
// installs the translator for the calling thread (it stays installed), runs
// the body and returns true when it completed. A translated structured
// exception logs "<name> failed! STRUCTURED EXCEPTION" and the code's name;
// any other exception logs "<name> failed! C++ EXCEPTION". Both return
// false without rethrowing; the caller then does its own ending (a pause, or
// a failure result). pHandlerName is the narrow name used in the texts.
template <typename Body>
bool ALUtilGuardedRun(const char* pHandlerName, Body&& GuardedBody) noexcept {
    PlatformSeTranslatorSet(&ALUtilStructuredExceptionTranslator);
    try {
        GuardedBody();
        return true;
    } catch (unsigned int ExceptionCode) {
        ALDebugPrint(AL_DEBUG_ERROR, L"%S failed! STRUCTURED EXCEPTION\n", pHandlerName);
        ALUtilExceptionCodeLog(ExceptionCode);
    } catch (...) {
        ALDebugPrint(AL_DEBUG_ERROR, L"%S failed! C++ EXCEPTION\n", pHandlerName);
    }
    return false;
}
