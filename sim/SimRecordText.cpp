#include "SimRecordText.h"

SimRecordText::SimRecordText(const wchar_t* pName) { m_Stream << pName << L"{"; }

void SimRecordText::PrivateSeparator() {
    if (!m_bFirst)
        m_Stream << L" ";
    m_bFirst = false;
}

SimRecordText& SimRecordText::Field(const wchar_t* pName, uint64_t Value) {
    PrivateSeparator();
    m_Stream << pName << L"=" << std::dec << Value;
    return *this;
}

SimRecordText& SimRecordText::Hex(const wchar_t* pName, uint64_t Value) {
    PrivateSeparator();
    m_Stream << pName << L"=0x" << std::hex << Value << std::dec;
    return *this;
}

SimRecordText& SimRecordText::Signed(const wchar_t* pName, int64_t Value) {
    PrivateSeparator();
    m_Stream << pName << L"=" << std::dec << Value;
    return *this;
}

SimRecordText& SimRecordText::Rect(const wchar_t* pName, const RECT& Value) {
    PrivateSeparator();
    m_Stream << pName << L"=(" << Value.left << L"," << Value.top << L"," << Value.right << L"," << Value.bottom
             << L")";
    return *this;
}

SimRecordText& SimRecordText::Luid(const wchar_t* pName, const LUID& Value) {
    PrivateSeparator();
    m_Stream << pName << L"=" << std::hex << Value.HighPart << L":" << Value.LowPart << std::dec;
    return *this;
}

std::wstring SimRecordText::Text() {
    m_Stream << L"}";
    return m_Stream.str();
}

std::wstring SimRecordText::Absent() { return L"none"; }

std::wstring SimRecordText::Short(size_t CountByte) { return L"<" + std::to_wstring(CountByte) + L" bytes>"; }
