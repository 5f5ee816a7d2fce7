// Field-by-field text of request records for the simulated drivers' request
// log: "Name{Field=Value ...}" with handles and addresses in hex.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

#include "platform/win32.h"

class SimRecordText {
public:
    explicit SimRecordText(const wchar_t* pName);

    SimRecordText& Field(const wchar_t* pName, uint64_t Value);
    SimRecordText& Hex(const wchar_t* pName, uint64_t Value);
    SimRecordText& Signed(const wchar_t* pName, int64_t Value);
    SimRecordText& Rect(const wchar_t* pName, const RECT& Value);
    SimRecordText& Luid(const wchar_t* pName, const LUID& Value);
    std::wstring Text();

    // "none" for an absent buffer, "<N bytes>" for one too short to decode.
    static std::wstring Absent();
    static std::wstring Short(size_t CountByte);

private:
    void PrivateSeparator();
    std::wostringstream m_Stream;
    bool m_bFirst = true;
};
