#pragma once

#include <string>
#include <vector>

// The messages of captured library log lines, without the "AL [pid:tid]:"
// prefix: for texts written on threads whose id a test does not know.
inline std::wstring LogMessage(const std::wstring& Line) {
    const size_t End = Line.find(L"]:");
    return Line.compare(0, 4, L"AL [") == 0 && End != std::wstring::npos ? Line.substr(End + 2) : Line;
}

inline std::vector<std::wstring> LogMessages(const std::vector<std::wstring>& Lines) {
    std::vector<std::wstring> Messages;
    for (const auto& Line : Lines)
        Messages.push_back(LogMessage(Line));
    return Messages;
}

// How many captured lines carry exactly Message.
inline size_t LogMessageCount(const std::vector<std::wstring>& Lines, const std::wstring& Message) {
    size_t Count = 0;
    for (const auto& Line : Lines)
        Count += LogMessage(Line) == Message ? 1 : 0;
    return Count;
}
