#include "support/ALUtilStructuredException.h"

namespace {

struct PrivateCodeName {
    unsigned int Code;
    const wchar_t* pText;
};

// In the order in which the codes are tested.
const PrivateCodeName kCodeNames[] = {
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
};

}  // namespace

void ALUtilStructuredExceptionTranslator(unsigned int ExceptionCode, struct _EXCEPTION_POINTERS* pExceptionPointers) {
    (void)pExceptionPointers;
    throw ExceptionCode;
}

int32_t ALUtilExceptionCodeLog(unsigned int ExceptionCode) {
    for (const PrivateCodeName& Entry : kCodeNames) {
        if (Entry.Code == ExceptionCode) {
            ALDebugPrint(AL_DEBUG_ERROR, L"%s", Entry.pText);
            return 1;
        }
    }
    ALDebugPrint(AL_DEBUG_ERROR, L"EXCEPTION_XXX %d unknown\n", static_cast<int32_t>(ExceptionCode));
    return 1;
}
