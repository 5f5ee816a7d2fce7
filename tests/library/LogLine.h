#pragma once

#include <string>

#include "platform/win32.h"

// The line the library log writes for Message on the given thread of this
// process: "AL [pid:tid]:" (at least four digits each) and the message.
// Built without the library's formatter, so that tests check it.
inline std::wstring LogLine(const std::wstring& Message, DWORD ThreadId = GetCurrentThreadId()) {
    auto Padded = [](DWORD Id) {
        std::wstring Digits = std::to_wstring(Id);
        return Digits.size() < 4 ? std::wstring(4 - Digits.size(), L'0') + Digits : Digits;
    };
    return L"AL [" + Padded(GetCurrentProcessId()) + L":" + Padded(ThreadId) + L"]:" + Message;
}
