// DebugCapture on Windows: OutputDebugString raises a debug-print exception
// that a vectored handler sees before any debugger. Windows raises
// DBG_PRINTEXCEPTION_WIDE_C (length with terminator, wide text, and the
// narrow copy) and falls back to DBG_PRINTEXCEPTION_C only when nobody
// handled it; Wine raises only DBG_PRINTEXCEPTION_C. Continuing the
// exception ends the call, so each call becomes one entry.
#include "platform/DebugCapture.h"

#include <cwchar>
#include <mutex>

#include "platform/win32.h"

namespace {

constexpr DWORD kDebugPrintWide = 0x4001000A;    // DBG_PRINTEXCEPTION_WIDE_C
constexpr DWORD kDebugPrintNarrow = 0x40010006;  // DBG_PRINTEXCEPTION_C

struct CaptureState {
    std::mutex Lock;
    std::vector<std::wstring> Lines;
    PVOID hHandler = nullptr;
};

CaptureState g_Capture;
// The narrow copy that the last wide exception on this thread carried: if the
// system raised the narrow exception for the same call as well, it is the
// same text and must not become a second entry.
thread_local ULONG_PTR t_LastWideNarrowCopy = 0;

std::wstring NarrowToWide(const char* pText, size_t Length) {
    if (Length == 0)
        return {};
    const int nChars = MultiByteToWideChar(CP_ACP, 0, pText, static_cast<int>(Length), nullptr, 0);
    std::wstring Wide(static_cast<size_t>(nChars > 0 ? nChars : 0), L'\0');
    if (nChars > 0)
        MultiByteToWideChar(CP_ACP, 0, pText, static_cast<int>(Length), Wide.data(), nChars);
    return Wide;
}

void LineAppend(std::wstring Line) {
    std::lock_guard<std::mutex> Guard(g_Capture.Lock);
    g_Capture.Lines.push_back(std::move(Line));
}

// ExceptionInformation[0] counts the terminator; the text is read no further.
std::wstring WideLine(const EXCEPTION_RECORD* pRecord) {
    const auto* pText = reinterpret_cast<const wchar_t*>(pRecord->ExceptionInformation[1]);
    const size_t Limit = pRecord->ExceptionInformation[0];
    return std::wstring(pText, pText == nullptr ? 0 : wcsnlen(pText, Limit));
}

std::wstring NarrowLine(const EXCEPTION_RECORD* pRecord) {
    const auto* pText = reinterpret_cast<const char*>(pRecord->ExceptionInformation[1]);
    const size_t Limit = pRecord->ExceptionInformation[0];
    return pText == nullptr ? std::wstring{} : NarrowToWide(pText, strnlen(pText, Limit));
}

LONG CALLBACK DebugPrintHandler(EXCEPTION_POINTERS* pExceptionInfo) {
    const EXCEPTION_RECORD* pRecord = pExceptionInfo->ExceptionRecord;
    if (pRecord->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    if (pRecord->ExceptionCode == kDebugPrintWide) {
        t_LastWideNarrowCopy = pRecord->NumberParameters >= 4 ? pRecord->ExceptionInformation[3] : 0;
        LineAppend(WideLine(pRecord));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (pRecord->ExceptionCode == kDebugPrintNarrow) {
        const bool bSameCall = t_LastWideNarrowCopy != 0 && t_LastWideNarrowCopy == pRecord->ExceptionInformation[1];
        t_LastWideNarrowCopy = 0;
        if (!bSameCall)
            LineAppend(NarrowLine(pRecord));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

DebugCapture::DebugCapture() {
    Clear();
    g_Capture.hHandler = AddVectoredExceptionHandler(1, DebugPrintHandler);
}

DebugCapture::~DebugCapture() {
    if (g_Capture.hHandler != nullptr)
        RemoveVectoredExceptionHandler(g_Capture.hHandler);
    g_Capture.hHandler = nullptr;
}

std::vector<std::wstring> DebugCapture::Lines() const {
    std::lock_guard<std::mutex> Guard(g_Capture.Lock);
    return g_Capture.Lines;
}

std::wstring DebugCapture::Text() const {
    std::wstring Text;
    for (const std::wstring& Line : Lines())
        Text += Line;
    return Text;
}

void DebugCapture::Clear() {
    std::lock_guard<std::mutex> Guard(g_Capture.Lock);
    g_Capture.Lines.clear();
}
