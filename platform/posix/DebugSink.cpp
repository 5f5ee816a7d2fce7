#include "DebugSink.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

DebugSink& DebugSink::Instance() {
    static DebugSink s_Instance;
    return s_Instance;
}

// One lock around the whole write keeps entries whole and in one order for
// the record, the listeners and the echo.
void DebugSink::LineWrite(std::wstring Line) {
    {
        std::lock_guard<std::mutex> Guard(m_Lock);
        for (const auto& Listener : m_Listeners)
            Listener.second(Line);
        if (m_bEcho)
            PrivateEcho(Line);
        if (m_bRecord)
            m_Lines.push_back(std::move(Line));
    }
    m_LineWritten.notify_all();
}

void DebugSink::PrivateEcho(const std::wstring& Line) {
    std::string Utf8;
    for (wchar_t c : Line) {
        const auto u = static_cast<uint32_t>(c);
        if (u < 0x80) {
            Utf8 += static_cast<char>(u);
        } else if (u < 0x800) {
            Utf8 += static_cast<char>(0xC0 | (u >> 6));
            Utf8 += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            Utf8 += static_cast<char>(0xE0 | (u >> 12));
            Utf8 += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            Utf8 += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            Utf8 += static_cast<char>(0xF0 | (u >> 18));
            Utf8 += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            Utf8 += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            Utf8 += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    std::fputs(Utf8.c_str(), stderr);
    std::fflush(stderr);
}

std::vector<std::wstring> DebugSink::Lines() {
    std::lock_guard<std::mutex> Guard(m_Lock);
    return m_Lines;
}

size_t DebugSink::LineCount() {
    std::lock_guard<std::mutex> Guard(m_Lock);
    return m_Lines.size();
}

void DebugSink::Clear() {
    std::lock_guard<std::mutex> Guard(m_Lock);
    m_Lines.clear();
}

void DebugSink::RecordSet(bool bRecord) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    m_bRecord = bRecord;
}

void DebugSink::EchoSet(bool bEcho) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    m_bEcho = bEcho;
}

size_t DebugSink::ListenerAdd(MachineDebugListener Listener) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    const size_t Id = m_NextListenerId++;
    m_Listeners.emplace_back(Id, std::move(Listener));
    return Id;
}

void DebugSink::ListenerRemove(size_t Id) {
    std::lock_guard<std::mutex> Guard(m_Lock);
    std::erase_if(m_Listeners, [Id](const auto& Entry) { return Entry.first == Id; });
}

bool DebugSink::TextWait(const std::wstring& Fragment, DWORD dwMilliseconds) {
    std::unique_lock<std::mutex> Guard(m_Lock);
    auto Found = [&] {
        return std::any_of(m_Lines.begin(), m_Lines.end(),
                           [&](const std::wstring& Line) { return Line.find(Fragment) != std::wstring::npos; });
    };
    if (dwMilliseconds == INFINITE) {
        m_LineWritten.wait(Guard, Found);
        return true;
    }
    return m_LineWritten.wait_for(Guard, std::chrono::milliseconds(dwMilliseconds), Found);
}
