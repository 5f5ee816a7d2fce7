// Where the debugger output of the simulated platform goes: the recorded
// entries, the listeners and the optional echo to standard error.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "machine_debug.h"

class DebugSink {
public:
    static DebugSink& Instance();

    void LineWrite(std::wstring Line);

    std::vector<std::wstring> Lines();
    size_t LineCount();
    void Clear();
    void RecordSet(bool bRecord);
    void EchoSet(bool bEcho);
    size_t ListenerAdd(MachineDebugListener Listener);
    void ListenerRemove(size_t Id);
    bool TextWait(const std::wstring& Fragment, DWORD dwMilliseconds);

private:
    DebugSink() = default;
    static void PrivateEcho(const std::wstring& Line);

    std::mutex m_Lock;
    std::condition_variable m_LineWritten;
    std::vector<std::wstring> m_Lines;
    std::vector<std::pair<size_t, MachineDebugListener>> m_Listeners;
    size_t m_NextListenerId = 1;
    bool m_bRecord = true;
    bool m_bEcho = false;
};
