// OutputDebugStringW/A: each call hands one entry to the machine's debug sink.
#include <cstring>

#include "DebugSink.h"
#include "platform/machine.h"
#include "platform/win32.h"

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
    if (lpOutputString == nullptr)
        return;
    DebugSink::Instance().LineWrite(std::wstring(lpOutputString));
}

// Narrow text is taken as the system's single-byte code page, which agrees
// with Latin-1 for the ASCII texts the system writes.
void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    if (lpOutputString == nullptr)
        return;
    std::wstring Line;
    Line.reserve(std::strlen(lpOutputString));
    for (const char* p = lpOutputString; *p != '\0'; ++p)
        Line += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    DebugSink::Instance().LineWrite(std::move(Line));
}

std::vector<std::wstring> MachineDebugLines() { return DebugSink::Instance().Lines(); }
size_t MachineDebugLineCount() { return DebugSink::Instance().LineCount(); }
void MachineDebugClear() { DebugSink::Instance().Clear(); }
void MachineDebugRecordSet(bool bRecord) { DebugSink::Instance().RecordSet(bRecord); }
void MachineDebugEchoSet(bool bEcho) { DebugSink::Instance().EchoSet(bEcho); }

size_t MachineDebugListenerAdd(MachineDebugListener Listener) {
    return DebugSink::Instance().ListenerAdd(std::move(Listener));
}

void MachineDebugListenerRemove(size_t Id) { DebugSink::Instance().ListenerRemove(Id); }

bool MachineDebugTextWait(const std::wstring& Fragment, DWORD dwMilliseconds) {
    return DebugSink::Instance().TextWait(Fragment, dwMilliseconds);
}
